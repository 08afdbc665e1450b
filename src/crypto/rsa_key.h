// RSA public (type 11) and private (type 12) key objects over libcrypto,
// from raw big-endian components, with PKCS #1 version 1.5 padding and the
// DigestInfo encodings of SHA-1, SHA-256 and SHA-512.
#pragma once

#include <cstdint>

#include "ryl/crypto.h"

namespace ryl::crypto {

// The libcrypto RSA handle, kept out of this header.
struct RsaHandle;

class RsaPublicKey final : public RylRsaPublicKey {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_RSA_KEY;
  RsaPublicKey() noexcept = default;
  ~RsaPublicKey();
  [[nodiscard]] ResultCode Initialize(const uint8_t* exponent, uint32_t exponentLength, uint32_t exponentWord,
                                      const uint8_t* modulus, uint32_t modulusLength) noexcept;
  void* DeliveredInterface() noexcept { return static_cast<RylRsaPublicKey*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  uint32_t RYL_THISCALL GetSize() override;
  ResultCode RYL_THISCALL Encrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                  uint32_t padding) override;
  ResultCode RYL_THISCALL Verify(const uint8_t* signature, uint32_t signatureLength, const uint8_t* data,
                                 uint32_t length) override;
  ResultCode RYL_THISCALL VerifyDigest(const uint8_t* signature, uint32_t signatureLength, const uint8_t* digest,
                                       uint32_t digestLength, uint32_t selector) override;
  ResultCode RYL_THISCALL DecodeSignature(OutputBuffer* digest, uint32_t* outSelector, const uint8_t* signature,
                                          uint32_t length) override;
  ResultCode RYL_THISCALL PublicDecrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                        uint32_t ignored) override;

 private:
  [[nodiscard]] ResultCode Decode(const uint8_t* signature, uint32_t length, uint8_t* digest, uint32_t* digestLength,
                                  uint32_t* selector) noexcept;
  RsaHandle* key_ = nullptr;
};

class RsaPrivateKey final : public RylRsaPrivateKey {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_RSA_KEY;
  RsaPrivateKey() noexcept = default;
  ~RsaPrivateKey();
  [[nodiscard]] ResultCode Initialize(const uint8_t* privateExponent, uint32_t privateExponentLength,
                                      const uint8_t* modulus, uint32_t modulusLength) noexcept;
  void* DeliveredInterface() noexcept { return static_cast<RylRsaPrivateKey*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  uint32_t RYL_THISCALL GetSize() override;
  ResultCode RYL_THISCALL Decrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                  uint32_t ignored) override;
  ResultCode RYL_THISCALL Sign(OutputBuffer* signature, const uint8_t* data, uint32_t length,
                               uint32_t selector) override;
  ResultCode RYL_THISCALL SignDigest(OutputBuffer* signature, const uint8_t* digest, uint32_t length,
                                     uint32_t selector) override;
  ResultCode RYL_THISCALL PrivateEncrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                         uint32_t ignored) override;

 private:
  RsaHandle* key_ = nullptr;
};

[[nodiscard]] ResultCode CreateRsaPublicKey(const ObjectReceiver* receiver, const uint8_t* exponent,
                                            uint32_t exponentLength, const uint8_t* modulus,
                                            uint32_t modulusLength) noexcept;
[[nodiscard]] ResultCode CreateRsaPublicKeyFromWord(const ObjectReceiver* receiver, uint32_t exponent,
                                                    const uint8_t* modulus, uint32_t modulusLength) noexcept;
[[nodiscard]] ResultCode CreateRsaPrivateKey(const ObjectReceiver* receiver, const uint8_t* privateExponent,
                                             uint32_t privateExponentLength, const uint8_t* modulus,
                                             uint32_t modulusLength) noexcept;

// The digest of data by selector (SHA-1, the module's SHA-256, SHA-512);
// RYL_E_UNSUPPORTED_ALGORITHM for another selector.
[[nodiscard]] ResultCode DigestOf(uint32_t selector, const uint8_t* data, uint32_t length, uint8_t* digest,
                                  uint32_t* digestLength) noexcept;

}  // namespace ryl::crypto
