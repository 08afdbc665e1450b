// Drives one outcome to its end on the calling thread, with a private event
// loop, an optional time limit and up to two waitables that end the wait
// early (the operation is then asked to stop at level 2).
#pragma once

#include <cstdint>

#include "ryl/async.h"

namespace ryl::async {

inline constexpr uint32_t kNoTimeLimit = 0xFFFFFFFFu;

// 0 for a value; the error of a failed outcome; RYL_W_TIMEOUT,
// RYL_W_FIRST_WAITABLE or RYL_W_SECOND_WAITABLE when the wait ended early
// and the work did not end with a value; RYL_E_STILL_PENDING when the loop
// ran out with the work unfinished. The outcome is consumed when it was
// pending; a value or error outcome is answered without being touched.
[[nodiscard]] ResultCode RunToCompletion(RylOutcome* outcome, uint32_t timeLimitMs, RylWaitable* first,
                                         RylWaitable* second) noexcept;

}  // namespace ryl::async
