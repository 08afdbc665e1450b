#include "sys/guid_utils.h"

#include "sys/random.h"

namespace ryl::sys::RylGuidUtils {

ResultCode CreateLuid(RylGuid* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  RylGuid guid;
  const ResultCode rc = RylGenerateRandomBytes(guid.bytes, sizeof guid.bytes);
  if (rc < 0) return rc;
  guid.bytes[7] = static_cast<uint8_t>((guid.bytes[7] & 0x0F) | 0x40);  // version 4 (Data3 high nibble)
  guid.bytes[8] = static_cast<uint8_t>((guid.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  *out = guid;
  return RYL_OK;
}

void GetString(const RylGuid& guid, char16_t* out) noexcept {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Byte order of the text: Data1, Data2 and Data3 are little-endian fields.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  int written = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out[written++] = u'-';
    const uint8_t b = guid.bytes[kOrder[i]];
    out[written++] = static_cast<char16_t>(kHex[b >> 4]);
    out[written++] = static_cast<char16_t>(kHex[b & 0x0F]);
  }
}

}  // namespace ryl::sys::RylGuidUtils
