// Time as the library counts it: 100-ns units since 1601-01-01 UTC.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

[[nodiscard]] ResultCode RylGetSystemTime(uint64_t* outTime) noexcept;

}  // namespace ryl::sys
