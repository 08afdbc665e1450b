// Cryptography: Blowfish cipher objects (RootFactory::CreateBlowfishEncryptor
// and CreateBlowfishDecryptor) and RSA keys.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

#if defined(__cplusplus)

// Blowfish over whole 8-byte blocks, each on its own (no chaining), fixed at
// creation to encrypt or to decrypt. A block's halves are little-endian
// words: the published test vectors read each half big-endian, so their
// bytes match this object's with each half's four bytes reversed.
RYL_INTERFACE RylBlowfishCipher {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // length a multiple of 8; the output (bytes) is resized to length.
  virtual ResultCode RYL_THISCALL Process(OutputBuffer* output, const uint8_t* input, uint32_t length) = 0;
  // A last block shorter than 8 bytes, padded with zero bytes; 0 does nothing.
  virtual ResultCode RYL_THISCALL ProcessFinal(OutputBuffer* output, const uint8_t* input, uint32_t length) = 0;
  virtual uint8_t RYL_THISCALL IsReady() = 0;
  virtual uint32_t RYL_THISCALL GetBlockSize() = 0;
};

// Digest selectors of RSA signatures.
#define RYL_DIGEST_SHA1 0u
#define RYL_DIGEST_SHA256 1u
#define RYL_DIGEST_SHA512 2u

// RSA public keys (RootFactory::CreateRsaPublicKey, CreateRsaPublicKeyFromWord)
// with PKCS #1 version 1.5 padding. Every byte string is big-endian.
RYL_INTERFACE RylRsaPublicKey {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  virtual uint32_t RYL_THISCALL GetSize() = 0;  // the modulus in bytes
  // padding must be 0; at most GetSize() - 11 bytes.
  virtual ResultCode RYL_THISCALL Encrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                          uint32_t padding) = 0;
  // 0 when the signature is over data; RYL_W_SIGNATURE_MISMATCH when not;
  // RYL_E_CRYPTO_FAILED when the key cannot decode the signature, and
  // RYL_E_UNSUPPORTED_ALGORITHM when it names a digest the library lacks.
  virtual ResultCode RYL_THISCALL Verify(const uint8_t* signature, uint32_t signatureLength, const uint8_t* data,
                                         uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL VerifyDigest(const uint8_t* signature, uint32_t signatureLength,
                                               const uint8_t* digest, uint32_t digestLength, uint32_t selector) = 0;
  // The digest a signature carries, and its selector.
  virtual ResultCode RYL_THISCALL DecodeSignature(OutputBuffer* digest, uint32_t* outSelector,
                                                  const uint8_t* signature, uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL PublicDecrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                                uint32_t ignored) = 0;
};

// RSA private keys (RootFactory::CreateRsaPrivateKey), from the private
// exponent and the modulus.
RYL_INTERFACE RylRsaPrivateKey {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  virtual uint32_t RYL_THISCALL GetSize() = 0;
  virtual ResultCode RYL_THISCALL Decrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                          uint32_t ignored) = 0;
  virtual ResultCode RYL_THISCALL Sign(OutputBuffer* signature, const uint8_t* data, uint32_t length,
                                       uint32_t selector) = 0;
  virtual ResultCode RYL_THISCALL SignDigest(OutputBuffer* signature, const uint8_t* digest, uint32_t length,
                                             uint32_t selector) = 0;
  virtual ResultCode RYL_THISCALL PrivateEncrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                                 uint32_t ignored) = 0;
};

#endif  // __cplusplus
