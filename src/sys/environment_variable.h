// Reading the process's environment variables.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/process.h"

namespace ryl::sys::RylEnvironment {

// Informational (a success): the variable is not set. A variable set to the
// empty text is set.
inline constexpr ResultCode kVariableNotSet = RYL_RESULT(0x6001006Au);

// Writes the value of the variable named by the zero-terminated name into the
// record, zero-terminated. The grow-and-retry protocol is that of
// RylProcess::GetCurrentDirectoryPath: when the record is too small the
// result is RYL_E_OUT_OF_RANGE, the record is left as it was, and
// *outNeededSize, when given, receives the size needed in characters
// including the terminator. kVariableNotSet leaves the record untouched.
[[nodiscard]] ResultCode GetEnvironmentVar(const char16_t* name, RylWideStringRecord* target,
                                           uint32_t* outNeededSize) noexcept;

}  // namespace ryl::sys::RylEnvironment
