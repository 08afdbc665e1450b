// The traditional PKWARE encryption (PKWARE APPNOTE, "Traditional PKWARE
// Encryption"): three 32-bit keys driven by the CRC-32 table and a linear
// congruential step, keyed by the password bytes. It is weak by today's
// standards; it is here because every ZIP tool reads it.
//
// Each encrypted entry's data starts with a 12-byte header encrypted like
// the data: eleven random bytes, then a check byte that lets a reader reject
// most wrong passwords before decompressing anything.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ryl/result.h"

namespace ryl::archive {

inline constexpr uint32_t kEncryptionHeaderSize = 12;

class TraditionalKeys {
 public:
  // The password's bytes up to its first zero byte, if any.
  TraditionalKeys(const uint8_t* password, size_t length) noexcept;
  // The keys of the empty password.
  TraditionalKeys() noexcept : TraditionalKeys(nullptr, 0) {}

  uint8_t DecryptByte(uint8_t cipher) noexcept {
    const uint8_t plain = static_cast<uint8_t>(cipher ^ KeyStreamByte());
    Update(plain);
    return plain;
  }
  uint8_t EncryptByte(uint8_t plain) noexcept {
    const uint8_t cipher = static_cast<uint8_t>(plain ^ KeyStreamByte());
    Update(plain);
    return cipher;
  }
  void Decrypt(uint8_t* data, size_t length) noexcept {
    for (size_t i = 0; i < length; ++i) data[i] = DecryptByte(data[i]);
  }
  void Encrypt(const uint8_t* plain, uint8_t* cipher, size_t length) noexcept {
    for (size_t i = 0; i < length; ++i) cipher[i] = EncryptByte(plain[i]);
  }

  uint32_t key0() const noexcept { return keys_[0]; }
  uint32_t key1() const noexcept { return keys_[1]; }
  uint32_t key2() const noexcept { return keys_[2]; }

 private:
  uint8_t KeyStreamByte() const noexcept {
    const uint32_t temp = (keys_[2] | 2) & 0xFFFF;
    return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
  }
  void Update(uint8_t plain) noexcept;

  uint32_t keys_[3];
};

// The byte the header ends with: the high byte of the DOS time field when the
// entry's sizes and CRC follow its data (flag bit 3), since the CRC is not
// known when the header is written; the high byte of the CRC-32 otherwise.
[[nodiscard]] uint8_t EncryptionCheckByte(uint16_t flags, uint16_t dosTime, uint32_t crc32) noexcept;

// The plain header: eleven bytes from three RylGenerateRandomDWord values
// (the twelfth byte of those is replaced) and the check byte. out untouched
// on failure.
[[nodiscard]] ResultCode MakeEncryptionHeader(uint8_t checkByte, uint8_t (&out)[kEncryptionHeaderSize]) noexcept;

}  // namespace ryl::archive
