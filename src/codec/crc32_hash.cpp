#include "codec/crc32_hash.h"

namespace ryl::codec {

ResultCode RYL_THISCALL Crc32Hash::GetDigest(uint8_t* out, uint32_t outLength) {
  if (outLength < kDigestSize) return RYL_E_OUT_OF_RANGE;
  if (out == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t crc = crc_.Get();
  out[0] = static_cast<uint8_t>(crc >> 24);
  out[1] = static_cast<uint8_t>(crc >> 16);
  out[2] = static_cast<uint8_t>(crc >> 8);
  out[3] = static_cast<uint8_t>(crc);
  return RYL_OK;
}

}  // namespace ryl::codec
