// Kernel32 entry points the library uses only where the platform offers them.
// They are looked up by name once, on first use, so that the module still
// loads on a system (or a compatibility layer) that lacks one; callers ask
// RylKernel32IsFnLoaded_* first and take their own route otherwise.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

bool RylKernel32IsFnLoaded_CopyFileW() noexcept;
bool RylKernel32IsFnLoaded_DefineDosDeviceW() noexcept;

// CopyFileW on zero-terminated paths. A failure is the thread's Win32 error
// as an error-severity result code; RYL_E_NOT_IMPLEMENTED when the platform
// does not offer the function.
[[nodiscard]] ResultCode RylKernel32_CopyFileW(const char16_t* source, const char16_t* target,
                                               bool failIfExists) noexcept;

// DefineDosDeviceW with the same failure rule.
[[nodiscard]] ResultCode RylKernel32_DefineDosDeviceW(uint32_t flags, const char16_t* deviceName,
                                                      const char16_t* targetPath) noexcept;

}  // namespace ryl::sys
