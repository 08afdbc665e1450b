// The event loop's clock: system time that never runs backwards. A clock set
// back adds the jump to an offset, so timers already armed are not delayed
// by it; a clock set forward moves time forward as it should.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::async {

using SystemTimeSource = ResultCode (*)(uint64_t* outTime) noexcept;

class MonotonicClock {
 public:
  // Reads the system time and returns the monotonic time in *outNow.
  [[nodiscard]] ResultCode Read(uint64_t* outNow) noexcept;
  // The system time due moved onto this clock.
  uint64_t FromSystemTime(uint64_t due) const noexcept { return due + offset_; }
  uint64_t now() const noexcept { return now_; }

  // Tests move the system time by hand; null restores the real one. Applies
  // to every loop of the process.
  static void SetSourceForTesting(SystemTimeSource source) noexcept;
  [[nodiscard]] static ResultCode SystemTime(uint64_t* outTime) noexcept;

 private:
  uint64_t offset_ = 0;
  uint64_t last_ = 0;
  uint64_t now_ = 0;
  bool seen_ = false;
};

}  // namespace ryl::async
