// Early-return for the common "call, and pass the failure on" step, and the
// tests of a code's meaning that do not go by its exact value.
#pragma once

#include <cstdint>

#include "ryl/result.h"

#define RYL_RETURN_IF_FAILED(expr)            \
  do {                                        \
    const ResultCode ryl_rc_ = (expr);        \
    if (ryl_rc_ < 0) return ryl_rc_;          \
  } while (0)

namespace ryl::core {

// The end of a stream's data, whatever severity and facility carry it: the
// error, the informational code with a partial count, or the system's
// end-of-file error as the status rule converts it.
[[nodiscard]] constexpr bool IsEndOfData(ResultCode rc) noexcept {
  return (static_cast<uint32_t>(rc) & 0xFFFFu) == (static_cast<uint32_t>(RYL_E_END_OF_DATA) & 0xFFFFu);
}

}  // namespace ryl::core
