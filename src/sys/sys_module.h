// Start and end of the system library's life inside the module.
#pragma once

#include "ryl/result.h"

namespace ryl::sys {

[[nodiscard]] ResultCode InternalInitializeRylSysDll() noexcept;
void InternalDestroyRylSysDll() noexcept;

// Test seam: makes the next InternalInitializeRylSysDll (first) or
// InitializeEnvironment (second) fail with the given code, once.
void SetInitFailureForTesting(int step, ResultCode code) noexcept;
[[nodiscard]] ResultCode TakeInitFailureForTesting(int step) noexcept;
// Initialisations not yet undone by InternalDestroyRylSysDll.
int SysDllInitializationsForTesting() noexcept;

}  // namespace ryl::sys
