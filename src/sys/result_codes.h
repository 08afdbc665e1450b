// Turning operating-system failures into module result codes. Nothing else in
// the library converts codes: every native status goes through
// RylResultFromNtStatus, every Win32 error through RylCreateErrorCodeFromWin32.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

// Severity is 1 (informational), 2 (warning) or 3 (error) and lands in bits
// 31-30. Errors the services rely on map to module code numbers; every other
// error is kept whole in the low 16 bits under facility 7.
[[nodiscard]] ResultCode RylCreateErrorCodeFromWin32(uint32_t severity, uint32_t win32Error) noexcept;

// The native status rule: 0 gives 0; STATUS_BUFFER_OVERFLOW gives
// RYL_E_OUT_OF_RANGE; anything else is mapped through the status's Win32 error
// with severity 1 below 0x40000000 and the status's top two bits otherwise.
[[nodiscard]] ResultCode RylResultFromNtStatus(int32_t status) noexcept;

// The Win32 error a native status stands for (RtlNtStatusToDosError).
[[nodiscard]] uint32_t RylNtStatusToWin32Error(int32_t status) noexcept;

}  // namespace ryl::sys
