#include "crypto/rsa_key.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/rsa.h>

#include <cstring>
#include <mutex>

#include "core/delivery.h"
#include "core/output_writer.h"
#include "core/query.h"
#include "crypto/sha256.h"
#include "sys/codec/mini_hash.h"

namespace ryl::crypto {

struct RsaHandle {
  RSA* rsa;
};

namespace {

constexpr uint32_t kPadding = 11;
constexpr int kPkcs1 = RSA_PKCS1_PADDING;

struct DigestInfo {
  uint8_t prefix[19];
  uint32_t prefixLength;
  uint32_t digestLength;
};

constexpr DigestInfo kDigestInfo[3] = {
    {{0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14}, 15, 20},
    {{0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04,
      0x20},
     19,
     32},
    {{0x30, 0x51, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04,
      0x40},
     19,
     64},
};

// libcrypto starts without reading any configuration file, so that no file
// outside the module's control changes what it does.
void StartLibcrypto() noexcept {
  static std::once_flag once;
  std::call_once(once, [] { (void)OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr); });
}

RsaHandle* NewHandle() noexcept {
  StartLibcrypto();
  RSA* rsa = RSA_new();
  if (rsa == nullptr) return nullptr;
  auto* handle = static_cast<RsaHandle*>(OPENSSL_malloc(sizeof(RsaHandle)));
  if (handle == nullptr) {
    RSA_free(rsa);
    return nullptr;
  }
  handle->rsa = rsa;
  return handle;
}

void FreeHandle(RsaHandle* handle) noexcept {
  if (handle == nullptr) return;
  RSA_free(handle->rsa);
  OPENSSL_free(handle);
}

uint32_t SizeOf(const RsaHandle* key) noexcept { return static_cast<uint32_t>(RSA_size(key->rsa)); }

// A byte string as a number; null when libcrypto cannot make one.
BIGNUM* Number(const uint8_t* bytes, uint32_t length) noexcept {
  return BN_bin2bn(bytes, static_cast<int>(length), nullptr);
}

template <typename Key>
void DestroyKey(Key* key, const AllocatorRecord* allocator) noexcept {
  const AllocatorRecord record = allocator != nullptr ? *allocator : core::kDefaultHeap;
  core::DestroyPlainObject(key, &record);
}

// A modulus must leave room for the padding (a zero modulus would make every
// "size - 11" wrap around) and stay within libcrypto's limit of 16,384 bits,
// which also bounds the decoding buffer.
constexpr uint32_t kMaxModulusBytes = 16384 / 8;

ResultCode CheckModulus(const RsaHandle* key) noexcept {
  const uint32_t size = SizeOf(key);
  if (size <= kPadding || size > kMaxModulusBytes) return RYL_E_INVALID_ARG;
  return RYL_OK;
}

// The private-key operation with PKCS #1 padding into an output of the
// modulus size.
ResultCode PrivateEncryptWith(RsaHandle* key, OutputBuffer* output, const uint8_t* data, uint32_t length) noexcept {
  const uint32_t size = SizeOf(key);
  if (length > size - kPadding || (data == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  const ResultCode resized = core::ResizeOutput(output, size);
  if (resized < 0) return resized;
  const int done = RSA_private_encrypt(static_cast<int>(length), data, static_cast<uint8_t*>(output->view.data),
                                       key->rsa, kPkcs1);
  return done == static_cast<int>(size) ? RYL_OK : RYL_E_CRYPTO_FAILED;
}

}  // namespace

ResultCode DigestOf(uint32_t selector, const uint8_t* data, uint32_t length, uint8_t* digest,
                    uint32_t* digestLength) noexcept {
  if (data == nullptr && length != 0) return RYL_E_INVALID_ARG;
  switch (selector) {
    case RYL_DIGEST_SHA1: {
      sys::RylMiniHashSha1 hash;
      hash.Add(data, length);
      hash.Get(digest);
      *digestLength = 20;
      return RYL_OK;
    }
    case RYL_DIGEST_SHA256: {
      Sha256 hash;
      const ResultCode added = hash.Add(data, length);
      if (added < 0) return added;
      hash.Finish(digest);
      *digestLength = 32;
      return RYL_OK;
    }
    case RYL_DIGEST_SHA512: {
      sys::RylMiniHashSha512 hash;
      hash.Add(data, length);
      hash.Get(digest);
      *digestLength = 64;
      return RYL_OK;
    }
    default:
      return RYL_E_UNSUPPORTED_ALGORITHM;
  }
}

// --- Public keys -------------------------------------------------------------

RsaPublicKey::~RsaPublicKey() { FreeHandle(key_); }

ResultCode RsaPublicKey::Initialize(const uint8_t* exponent, uint32_t exponentLength, uint32_t exponentWord,
                                    const uint8_t* modulus, uint32_t modulusLength) noexcept {
  if (modulus == nullptr || modulusLength == 0) return RYL_E_INVALID_ARG;
  if (exponent != nullptr && exponentLength == 0) return RYL_E_INVALID_ARG;
  FreeHandle(key_);
  key_ = NewHandle();
  if (key_ == nullptr) return RYL_E_OUT_OF_MEMORY;
  BIGNUM* e = nullptr;
  if (exponent != nullptr) {
    e = Number(exponent, exponentLength);
  } else {
    e = BN_new();
    if (e != nullptr && BN_set_word(e, exponentWord) != 1) {
      BN_free(e);
      e = nullptr;
    }
  }
  BIGNUM* n = Number(modulus, modulusLength);
  if (e == nullptr || n == nullptr) {
    BN_free(e);
    BN_free(n);
    FreeHandle(key_);
    key_ = nullptr;
    return RYL_E_OUT_OF_MEMORY;
  }
  (void)RSA_set0_key(key_->rsa, n, e, nullptr);
  return CheckModulus(key_);
}

void* RYL_THISCALL RsaPublicKey::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylRsaPublicKey*>(this), RYL_TYPE_RSA_PUBLIC_KEY, kHighestVersion, type,
                           version, outHighest);
}

void RYL_THISCALL RsaPublicKey::Destroy(const AllocatorRecord* allocator) { DestroyKey(this, allocator); }

uint32_t RYL_THISCALL RsaPublicKey::GetSize() { return SizeOf(key_); }

ResultCode RYL_THISCALL RsaPublicKey::Encrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                              uint32_t padding) {
  if (padding != 0) return RYL_E_UNSUPPORTED_ALGORITHM;
  const uint32_t size = SizeOf(key_);
  if (length > size - kPadding || (data == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  const ResultCode resized = core::ResizeOutput(output, size);
  if (resized < 0) return resized;
  const int done = RSA_public_encrypt(static_cast<int>(length), data, static_cast<uint8_t*>(output->view.data),
                                      key_->rsa, kPkcs1);
  return done == static_cast<int>(size) ? RYL_OK : RYL_E_CRYPTO_FAILED;
}

ResultCode RYL_THISCALL RsaPublicKey::PublicDecrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                                    uint32_t) {
  const uint32_t size = SizeOf(key_);
  if (length != size || data == nullptr) return RYL_E_INVALID_ARG;
  ResultCode result = core::ResizeOutput(output, size - kPadding);
  if (result < 0) return result;
  const int done =
      RSA_public_decrypt(static_cast<int>(length), data, static_cast<uint8_t*>(output->view.data), key_->rsa, kPkcs1);
  if (done < 0 || static_cast<uint32_t>(done) > size - kPadding) return RYL_E_CRYPTO_FAILED;
  return core::ResizeOutput(output, static_cast<uint32_t>(done));
}

ResultCode RsaPublicKey::Decode(const uint8_t* signature, uint32_t length, uint8_t* digest, uint32_t* digestLength,
                                uint32_t* selector) noexcept {
  const uint32_t size = SizeOf(key_);
  if (length != size || signature == nullptr) return RYL_E_INVALID_ARG;
  uint8_t block[kMaxModulusBytes];
  const int done = RSA_public_decrypt(static_cast<int>(length), signature, block, key_->rsa, kPkcs1);
  if (done < 0 || static_cast<uint32_t>(done) > size - kPadding) return RYL_E_CRYPTO_FAILED;
  const auto decoded = static_cast<uint32_t>(done);
  for (uint32_t index = 0; index < 3; ++index) {
    const DigestInfo& info = kDigestInfo[index];
    if (decoded < info.prefixLength || (index == 0 && decoded <= 14)) continue;
    if (std::memcmp(block, info.prefix, info.prefixLength) != 0) continue;
    if (decoded != info.prefixLength + info.digestLength) return RYL_E_BAD_FORMAT;
    std::memcpy(digest, block + info.prefixLength, info.digestLength);
    *digestLength = info.digestLength;
    *selector = index;
    return RYL_OK;
  }
  return RYL_E_UNSUPPORTED_ALGORITHM;
}

ResultCode RYL_THISCALL RsaPublicKey::DecodeSignature(OutputBuffer* digest, uint32_t* outSelector,
                                                      const uint8_t* signature, uint32_t length) {
  if (digest == nullptr || outSelector == nullptr) return RYL_E_INVALID_ARG;
  uint8_t decoded[64];
  uint32_t decodedLength = 0;
  uint32_t selector = 0;
  const ResultCode result = Decode(signature, length, decoded, &decodedLength, &selector);
  if (result < 0) return result;
  const ResultCode written = core::WriteOutput(digest, decoded, decodedLength);
  if (written < 0) return written;
  *outSelector = selector;
  return RYL_OK;
}

ResultCode RYL_THISCALL RsaPublicKey::VerifyDigest(const uint8_t* signature, uint32_t signatureLength,
                                                   const uint8_t* digest, uint32_t digestLength, uint32_t selector) {
  if (digest == nullptr && digestLength != 0) return RYL_E_INVALID_ARG;
  uint8_t decoded[64];
  uint32_t decodedLength = 0;
  uint32_t decodedSelector = 0;
  const ResultCode result = Decode(signature, signatureLength, decoded, &decodedLength, &decodedSelector);
  if (result < 0) return result;
  if (decodedSelector != selector || decodedLength != digestLength) return RYL_E_INVALID_ARG;
  return std::memcmp(decoded, digest, digestLength) == 0 ? RYL_OK : RYL_W_SIGNATURE_MISMATCH;
}

ResultCode RYL_THISCALL RsaPublicKey::Verify(const uint8_t* signature, uint32_t signatureLength, const uint8_t* data,
                                             uint32_t length) {
  uint8_t decoded[64];
  uint32_t decodedLength = 0;
  uint32_t selector = 0;
  ResultCode result = Decode(signature, signatureLength, decoded, &decodedLength, &selector);
  if (result < 0) return result;
  uint8_t computed[64];
  uint32_t computedLength = 0;
  result = DigestOf(selector, data, length, computed, &computedLength);
  if (result < 0) return result;
  return computedLength == decodedLength && std::memcmp(decoded, computed, decodedLength) == 0
             ? RYL_OK
             : RYL_W_SIGNATURE_MISMATCH;
}

// --- Private keys ------------------------------------------------------------

RsaPrivateKey::~RsaPrivateKey() { FreeHandle(key_); }

ResultCode RsaPrivateKey::Initialize(const uint8_t* privateExponent, uint32_t privateExponentLength,
                                     const uint8_t* modulus, uint32_t modulusLength) noexcept {
  if (privateExponent == nullptr || privateExponentLength == 0 || modulus == nullptr || modulusLength == 0) {
    return RYL_E_INVALID_ARG;
  }
  FreeHandle(key_);
  key_ = NewHandle();
  if (key_ == nullptr) return RYL_E_OUT_OF_MEMORY;
  // Without the public exponent blinding cannot work; the private exponent
  // alone does the operation.
  RSA_blinding_off(key_->rsa);
  BIGNUM* d = Number(privateExponent, privateExponentLength);
  BIGNUM* e = BN_new();
  if (e != nullptr && BN_set_word(e, 0) != 1) {
    BN_free(e);
    e = nullptr;
  }
  BIGNUM* n = Number(modulus, modulusLength);
  if (d == nullptr || e == nullptr || n == nullptr) {
    BN_free(d);
    BN_free(e);
    BN_free(n);
    FreeHandle(key_);
    key_ = nullptr;
    return RYL_E_OUT_OF_MEMORY;
  }
  (void)RSA_set0_key(key_->rsa, n, e, d);
  return CheckModulus(key_);
}

void* RYL_THISCALL RsaPrivateKey::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylRsaPrivateKey*>(this), RYL_TYPE_RSA_PRIVATE_KEY, kHighestVersion, type,
                           version, outHighest);
}

void RYL_THISCALL RsaPrivateKey::Destroy(const AllocatorRecord* allocator) { DestroyKey(this, allocator); }

uint32_t RYL_THISCALL RsaPrivateKey::GetSize() { return SizeOf(key_); }

ResultCode RYL_THISCALL RsaPrivateKey::Decrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                               uint32_t) {
  const uint32_t size = SizeOf(key_);
  if (length != size || data == nullptr) return RYL_E_INVALID_ARG;
  ResultCode result = core::ResizeOutput(output, size - kPadding);
  if (result < 0) return result;
  const int done = RSA_private_decrypt(static_cast<int>(length), data, static_cast<uint8_t*>(output->view.data),
                                       key_->rsa, kPkcs1);
  if (done < 0 || static_cast<uint32_t>(done) > size - kPadding) return RYL_E_CRYPTO_FAILED;
  return core::ResizeOutput(output, static_cast<uint32_t>(done));
}

ResultCode RYL_THISCALL RsaPrivateKey::PrivateEncrypt(OutputBuffer* output, const uint8_t* data, uint32_t length,
                                                      uint32_t) {
  return PrivateEncryptWith(key_, output, data, length);
}

ResultCode RYL_THISCALL RsaPrivateKey::SignDigest(OutputBuffer* signature, const uint8_t* digest, uint32_t length,
                                                  uint32_t selector) {
  if (selector > RYL_DIGEST_SHA512) return RYL_E_UNSUPPORTED_ALGORITHM;
  const DigestInfo& info = kDigestInfo[selector];
  if (length != info.digestLength || digest == nullptr) return RYL_E_INVALID_ARG;
  uint8_t block[19 + 64];
  std::memcpy(block, info.prefix, info.prefixLength);
  std::memcpy(block + info.prefixLength, digest, length);
  return PrivateEncryptWith(key_, signature, block, info.prefixLength + length);
}

ResultCode RYL_THISCALL RsaPrivateKey::Sign(OutputBuffer* signature, const uint8_t* data, uint32_t length,
                                            uint32_t selector) {
  uint8_t digest[64];
  uint32_t digestLength = 0;
  const ResultCode result = DigestOf(selector, data, length, digest, &digestLength);
  if (result < 0) return result;
  return SignDigest(signature, digest, digestLength, selector);
}

// --- Creation ----------------------------------------------------------------

ResultCode CreateRsaPublicKey(const ObjectReceiver* receiver, const uint8_t* exponent, uint32_t exponentLength,
                              const uint8_t* modulus, uint32_t modulusLength) noexcept {
  if (exponentLength == 0 || exponent == nullptr) {
    const ResultCode version = core::CheckCreateVersion(receiver, RsaPublicKey::kHighestVersion);
    return version < 0 ? version : RYL_E_INVALID_ARG;
  }
  return core::CreateAndDeliver<RsaPublicKey>(receiver, core::Placement::kReceiverAllocator, [&](RsaPublicKey& key) {
    return key.Initialize(exponent, exponentLength, 0, modulus, modulusLength);
  });
}

ResultCode CreateRsaPublicKeyFromWord(const ObjectReceiver* receiver, uint32_t exponent, const uint8_t* modulus,
                                      uint32_t modulusLength) noexcept {
  return core::CreateAndDeliver<RsaPublicKey>(receiver, core::Placement::kReceiverAllocator, [&](RsaPublicKey& key) {
    return key.Initialize(nullptr, 0, exponent, modulus, modulusLength);
  });
}

ResultCode CreateRsaPrivateKey(const ObjectReceiver* receiver, const uint8_t* privateExponent,
                               uint32_t privateExponentLength, const uint8_t* modulus,
                               uint32_t modulusLength) noexcept {
  return core::CreateAndDeliver<RsaPrivateKey>(receiver, core::Placement::kReceiverAllocator,
                                               [&](RsaPrivateKey& key) {
                                                 return key.Initialize(privateExponent, privateExponentLength,
                                                                       modulus, modulusLength);
                                               });
}

}  // namespace ryl::crypto
