// No C++ exception may cross a slot or an export. Every entry point runs its
// body through GuardEntry, which turns an allocation failure into
// RYL_E_OUT_OF_MEMORY and anything else into RYL_E_INVALID_STATE.
#pragma once

#include <new>
#include <stdexcept>
#include <utility>

#include "ryl/result.h"

namespace ryl::core {

template <typename Body>
[[nodiscard]] ResultCode GuardEntry(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return RYL_E_OUT_OF_MEMORY;
  } catch (const std::length_error&) {
    // A container asked to grow past what the address space can hold.
    return RYL_E_OUT_OF_MEMORY;
  } catch (...) {
    return RYL_E_INVALID_STATE;
  }
}

}  // namespace ryl::core
