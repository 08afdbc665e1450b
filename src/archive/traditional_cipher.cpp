#include "archive/traditional_cipher.h"

#include "archive/byte_order.h"
#include "archive/zip_records.h"
#include "core/result_helpers.h"
#include "sys/codec/crc32_kernels.h"
#include "sys/random.h"

namespace ryl::archive {

TraditionalKeys::TraditionalKeys(const uint8_t* password, size_t length) noexcept
    : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
  for (size_t i = 0; password != nullptr && i < length && password[i] != 0; ++i) Update(password[i]);
}

void TraditionalKeys::Update(uint8_t plain) noexcept {
  keys_[0] = sys::Crc32UpdateByte(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = sys::Crc32UpdateByte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t EncryptionCheckByte(uint16_t flags, uint16_t dosTime, uint32_t crc32) noexcept {
  return (flags & kFlagDataDescriptor) != 0 ? static_cast<uint8_t>(dosTime >> 8) : static_cast<uint8_t>(crc32 >> 24);
}

ResultCode MakeEncryptionHeader(uint8_t checkByte, uint8_t (&out)[kEncryptionHeaderSize]) noexcept {
  uint8_t header[kEncryptionHeaderSize];
  for (uint32_t i = 0; i < kEncryptionHeaderSize; i += 4) {
    uint32_t random = 0;
    RYL_RETURN_IF_FAILED(sys::RylGenerateRandomDWord(&random));
    StoreLe32(header + i, random);
  }
  header[kEncryptionHeaderSize - 1] = checkByte;
  for (uint32_t i = 0; i < kEncryptionHeaderSize; ++i) out[i] = header[i];
  return RYL_OK;
}

}  // namespace ryl::archive
