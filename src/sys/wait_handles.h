// One wait for any of up to 64 kernel objects: the native limit.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

inline constexpr uint32_t kMaxWaitHandles = 64;

// RYL_OK with *outIndex the lowest signalled handle; RYL_S_WAIT_ABANDONED
// with the index of an abandoned mutex; RYL_W_TIMEOUT when ms passed first
// (0xFFFFFFFF: no limit); RYL_E_INVALID_ARG for no handles or more than 64;
// otherwise the converted failure (STATUS_BUFFER_OVERFLOW gives
// RYL_E_OUT_OF_RANGE).
[[nodiscard]] ResultCode WaitForAnyHandle(void* const* handles, uint32_t count, uint32_t ms,
                                          uint32_t* outIndex) noexcept;

}  // namespace ryl::sys
