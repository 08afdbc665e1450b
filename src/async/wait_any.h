// One wait for the first of any number of waitables of kind 1. Up to 64
// cost one native wait; beyond that, auxiliary threads each wait for a
// further part of the list, so that the native limit never applies.
#pragma once

#include <cstdint>

#include "ryl/async.h"

namespace ryl::async {

// RYL_OK (or RYL_S_WAIT_ABANDONED) with *outIndex the signalled waitable's
// position; RYL_W_TIMEOUT; RYL_W_NOTHING_TO_WAIT for an empty list;
// RYL_E_UNSUPPORTED_VERSION when a waitable is not of kind 1;
// RYL_E_OBJECT_CLOSED when a list beyond 64 holds a closed waitable; or the
// wait's failure. ms 0xFFFFFFFF waits without limit.
[[nodiscard]] ResultCode WaitForAny(RylWaitable* const* waitables, uint32_t count, uint32_t ms,
                                    uint32_t* outIndex) noexcept;

}  // namespace ryl::async
