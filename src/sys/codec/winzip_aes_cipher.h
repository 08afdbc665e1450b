// The AES encryption WinZip defined for ZIP entries (the "AE-1" and "AE-2"
// formats), over libcrypto: keys derived from the password by
// PBKDF2-HMAC-SHA1 with 1000 iterations over a random salt, AES in counter
// mode with a little-endian counter that starts at 1, and an HMAC-SHA1 of
// the encrypted bytes, of which the first 10 bytes are stored after them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

class RylWinZipAesCipher {
 public:
  static constexpr uint32_t kVerifierSize = 2;
  static constexpr uint32_t kMacSize = 10;
  static constexpr uint32_t kMaxSaltSize = 16;

  // The strength byte of the entry's AES record: 1, 2 or 3 for 128, 192 or
  // 256-bit keys. The salt is half the key long.
  [[nodiscard]] static constexpr bool IsValidStrength(uint8_t strength) noexcept {
    return strength >= 1 && strength <= 3;
  }
  [[nodiscard]] static constexpr uint32_t SaltSize(uint8_t strength) noexcept { return 4u + 4u * strength; }

  RylWinZipAesCipher() noexcept = default;
  // Wipes the keys.
  ~RylWinZipAesCipher();
  RylWinZipAesCipher(const RylWinZipAesCipher&) = delete;
  RylWinZipAesCipher& operator=(const RylWinZipAesCipher&) = delete;

  // Derives the keys from password and salt (SaltSize(strength) bytes) and
  // hands out the 2-byte password verifier stored beside the salt.
  // RYL_E_INVALID_ARG for a strength outside 1-3; RYL_E_OUT_OF_MEMORY when
  // libcrypto cannot set up its contexts.
  [[nodiscard]] ResultCode Initialize(uint8_t strength, const uint8_t* password, size_t passwordLength,
                                      const uint8_t* salt, uint8_t (&verifier)[kVerifierSize]) noexcept;

  // Encrypts or decrypts (the same operation) length bytes in place,
  // continuing the key stream where the last call left it.
  void Transform(uint8_t* data, size_t length) noexcept;
  // Adds encrypted bytes to the authentication code.
  void Authenticate(const uint8_t* data, size_t length) noexcept;
  // The authentication code of everything added; the cipher is spent.
  [[nodiscard]] ResultCode FinishMac(uint8_t (&mac)[kMacSize]) noexcept;

  bool initialized() const noexcept { return cipher_ != nullptr; }

 private:
  void Release() noexcept;
  void RefillKeyStream() noexcept;

  // Counter blocks encrypted per libcrypto call: one call over many blocks
  // lets its AES code pipeline them.
  static constexpr uint32_t kBlocksPerFill = 256;
  static constexpr uint32_t kBlockSize = 16;

  void* cipher_ = nullptr;  // EVP_CIPHER_CTX, AES in ECB mode
  void* mac_ = nullptr;     // HMAC_CTX
  uint64_t counter_ = 0;
  uint32_t keyStreamUsed_ = kBlocksPerFill * kBlockSize;
  alignas(16) uint8_t counters_[kBlocksPerFill * kBlockSize] = {};
  alignas(16) uint8_t keyStream_[kBlocksPerFill * kBlockSize] = {};
};

}  // namespace ryl::sys
