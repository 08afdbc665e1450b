// Reading the security descriptor of an open object.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/heap_bytes.h"

namespace ryl::security {

// Queries the selected parts into *buffer, growing it once to exactly the
// length the system asks for when the first attempt is too small.
// *outLength is the descriptor's length; both are written only on success.
// STATUS_BUFFER_OVERFLOW gives RYL_E_OUT_OF_RANGE; other failures follow the
// native status rule.
[[nodiscard]] ResultCode QuerySecurity(void* handle, uint32_t parts, sys::HeapBytes* buffer,
                                       uint32_t* outLength) noexcept;

}  // namespace ryl::security
