// An algorithm-neutral running checksum, as the archive code consumes one.
// The table keeps the library's slot order; no host ever sees it.
#pragma once

#include <cstdint>

#include "ryl/platform.h"
#include "ryl/result.h"

namespace ryl::codec {

RYL_INTERFACE HashAlgorithm {
  // Prepares the state for a new checksum.
  virtual void RYL_THISCALL Initialize() = 0;
  // Restarts the running sum.
  virtual void RYL_THISCALL Reset() = 0;
  // A constant, NUL-terminated UTF-16 name.
  virtual const RylChar16* RYL_THISCALL GetName() = 0;
  virtual uint32_t RYL_THISCALL GetDigestSize() = 0;
  virtual void RYL_THISCALL Dispose() = 0;
  virtual void RYL_THISCALL Add(const uint8_t* data, uint32_t length) = 0;
  // Writes exactly GetDigestSize() bytes; a smaller outLength is
  // RYL_E_OUT_OF_RANGE and writes nothing.
  virtual ResultCode RYL_THISCALL GetDigest(uint8_t* out, uint32_t outLength) = 0;
};

}  // namespace ryl::codec
