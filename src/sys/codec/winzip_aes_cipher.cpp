#include "sys/codec/winzip_aes_cipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <bit>
#include <cstring>

namespace ryl::sys {
namespace {

constexpr int kIterations = 1000;
constexpr size_t kMaxKeySize = 32;

EVP_CIPHER_CTX* Cipher(void* context) { return static_cast<EVP_CIPHER_CTX*>(context); }
HMAC_CTX* Mac(void* context) { return static_cast<HMAC_CTX*>(context); }

const EVP_CIPHER* EcbFor(uint8_t strength) {
  switch (strength) {
    case 1: return EVP_aes_128_ecb();
    case 2: return EVP_aes_192_ecb();
    default: return EVP_aes_256_ecb();
  }
}

}  // namespace

RylWinZipAesCipher::~RylWinZipAesCipher() { Release(); }

void RylWinZipAesCipher::Release() noexcept {
  if (cipher_ != nullptr) EVP_CIPHER_CTX_free(Cipher(cipher_));
  if (mac_ != nullptr) HMAC_CTX_free(Mac(mac_));
  cipher_ = nullptr;
  mac_ = nullptr;
  OPENSSL_cleanse(keyStream_, sizeof keyStream_);
  keyStreamUsed_ = sizeof keyStream_;
}

ResultCode RylWinZipAesCipher::Initialize(uint8_t strength, const uint8_t* password, size_t passwordLength,
                                          const uint8_t* salt, uint8_t (&verifier)[kVerifierSize]) noexcept {
  if (!IsValidStrength(strength) || salt == nullptr || (password == nullptr && passwordLength != 0)) {
    return RYL_E_INVALID_ARG;
  }
  Release();
  const size_t keySize = 8u + 8u * strength;
  uint8_t derived[2 * kMaxKeySize + kVerifierSize];
  const size_t derivedSize = 2 * keySize + kVerifierSize;
  static const char kEmpty[1] = {0};
  const char* text = password != nullptr ? reinterpret_cast<const char*>(password) : kEmpty;
  if (PKCS5_PBKDF2_HMAC_SHA1(text, static_cast<int>(passwordLength), salt, static_cast<int>(SaltSize(strength)),
                             kIterations, static_cast<int>(derivedSize), derived) != 1) {
    return RYL_E_OUT_OF_MEMORY;
  }
  EVP_CIPHER_CTX* cipher = EVP_CIPHER_CTX_new();
  HMAC_CTX* mac = HMAC_CTX_new();
  ResultCode rc = RYL_OK;
  if (cipher == nullptr || mac == nullptr) {
    rc = RYL_E_OUT_OF_MEMORY;
  } else if (EVP_EncryptInit_ex(cipher, EcbFor(strength), nullptr, derived, nullptr) != 1 ||
             EVP_CIPHER_CTX_set_padding(cipher, 0) != 1 ||
             HMAC_Init_ex(mac, derived + keySize, static_cast<int>(keySize), EVP_sha1(), nullptr) != 1) {
    rc = RYL_E_OUT_OF_MEMORY;
  }
  if (rc >= 0) {
    std::memcpy(verifier, derived + 2 * keySize, kVerifierSize);
    cipher_ = cipher;
    mac_ = mac;
    counter_ = 0;
    keyStreamUsed_ = sizeof keyStream_;
    std::memset(counters_, 0, sizeof counters_);
  } else {
    EVP_CIPHER_CTX_free(cipher);
    HMAC_CTX_free(mac);
  }
  OPENSSL_cleanse(derived, sizeof derived);
  return rc;
}

void RylWinZipAesCipher::RefillKeyStream() noexcept {
  // The counter is the block's first 8 bytes, little-endian; the other 8
  // stay zero (2^64 blocks are beyond any entry).
  for (uint32_t block = 0; block < kBlocksPerFill; ++block) {
    uint64_t value = ++counter_;
    uint8_t* slot = counters_ + block * kBlockSize;
    // One store per block where the host is little-endian like the
    // counter: byte by byte, building the counters cost about as much as
    // encrypting them.
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(slot, &value, 8);
    } else {
      for (int i = 0; i < 8; ++i, value >>= 8) slot[i] = static_cast<uint8_t>(value);
    }
  }
  int produced = 0;
  (void)EVP_EncryptUpdate(Cipher(cipher_), keyStream_, &produced, counters_, static_cast<int>(sizeof counters_));
  keyStreamUsed_ = 0;
}

void RylWinZipAesCipher::Transform(uint8_t* data, size_t length) noexcept {
  while (length != 0) {
    if (keyStreamUsed_ == sizeof keyStream_) RefillKeyStream();
    const size_t available = sizeof keyStream_ - keyStreamUsed_;
    const size_t n = length < available ? length : available;
    const uint8_t* key = keyStream_ + keyStreamUsed_;
    size_t i = 0;
    // Word-wide where both sides allow it; memcpy keeps it free of
    // alignment assumptions and compiles to plain loads.
    for (; i + 8 <= n; i += 8) {
      uint64_t a;
      uint64_t b;
      std::memcpy(&a, data + i, 8);
      std::memcpy(&b, key + i, 8);
      a ^= b;
      std::memcpy(data + i, &a, 8);
    }
    for (; i < n; ++i) data[i] ^= key[i];
    data += n;
    length -= n;
    keyStreamUsed_ += static_cast<uint32_t>(n);
  }
}

void RylWinZipAesCipher::Authenticate(const uint8_t* data, size_t length) noexcept {
  if (length != 0) (void)HMAC_Update(Mac(mac_), data, length);
}

ResultCode RylWinZipAesCipher::FinishMac(uint8_t (&mac)[kMacSize]) noexcept {
  if (mac_ == nullptr) return RYL_E_INVALID_STATE;
  uint8_t full[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  const bool done = HMAC_Final(Mac(mac_), full, &size) == 1 && size >= kMacSize;
  if (done) std::memcpy(mac, full, kMacSize);
  OPENSSL_cleanse(full, sizeof full);
  Release();
  return done ? RYL_OK : RYL_E_INVALID_STATE;
}

}  // namespace ryl::sys
