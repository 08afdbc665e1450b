#include <time.h>

#include "sys/system_time.h"

namespace ryl::sys {

// 100-ns units since 1601-01-01, from the POSIX clock's seconds since 1970.
ResultCode RylGetSystemTime(uint64_t* outTime) noexcept {
  if (outTime == nullptr) return RYL_E_INVALID_ARG;
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return RYL_E_INVALID_STATE;
  constexpr uint64_t kUnitsFrom1601To1970 = 116444736000000000ull;
  *outTime = kUnitsFrom1601To1970 + static_cast<uint64_t>(now.tv_sec) * 10000000ull +
             static_cast<uint64_t>(now.tv_nsec) / 100;
  return RYL_OK;
}

}  // namespace ryl::sys
