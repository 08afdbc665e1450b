// WinZip AES entries (AE-1/AE-2) through archive::AesDecryptingStream over
// arbitrary stored bytes, against the format worked out here with libcrypto
// alone: PBKDF2 for the keys and verifier, HMAC-SHA1 over the encrypted
// bytes, AES over little-endian counters for the key stream. The stream
// must hand out exactly the decrypted bytes, and must never call the data
// good (its end reached after every byte, or Finish) unless the stored
// authentication code is the right one. Then the input round-trips through
// AesEncryptingStream, and one flipped bit of the result must be caught.
//
// Input: a selector byte (bits 0-4 the read settings of decode_driver.h,
// bits 5-6 the strength, 3 standing for an invalid one, bit 7 a reader
// that stops after its first read), then the stored bytes: salt, verifier,
// encrypted data, code. The password is fixed; fuzz/make_seeds.py makes its
// seeds with the same one.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/aes_cipher_streams.h"
#include "core/object_ptr.h"
#include "decode_driver.h"
#include "fuzz_check.h"
#include "memory_source.h"
#include "streams/memory_stream.h"

namespace {

using ryl::archive::AesDecryptingStream;
using ryl::archive::AesEncryptingStream;
using ryl::core::MakeObject;
using ryl::core::ObjectPtr;

constexpr char kPassword[] = "fuzz-Passw0rd";
constexpr size_t kPasswordLength = sizeof kPassword - 1;
constexpr size_t kCodeSize = 10;
constexpr size_t kVerifierSize = 2;

const uint8_t* PasswordBytes() { return reinterpret_cast<const uint8_t*>(kPassword); }

// What a correct reader makes of the stored bytes.
struct Expected {
  ResultCode open = RYL_OK;
  std::vector<uint8_t> plain;
  bool codeMatches = false;
};

const EVP_CIPHER* Ecb(size_t keySize) {
  return keySize == 16 ? EVP_aes_128_ecb() : keySize == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}

// The keys and verifier for a salt. The last answer is kept: the round
// trip asks for the same salt several times, and the derivation's 1000
// iterations are most of a run's cost.
const uint8_t* Derive(uint8_t strength, const uint8_t* salt) {
  static uint8_t lastStrength = 0;
  static uint8_t lastSalt[16];
  static uint8_t derived[2 * 32 + kVerifierSize];
  const size_t keySize = 8 + 8 * size_t{strength};
  const size_t saltSize = keySize / 2;
  if (strength != lastStrength || std::memcmp(salt, lastSalt, saltSize) != 0) {
    FUZZ_CHECK(PKCS5_PBKDF2_HMAC_SHA1(kPassword, static_cast<int>(kPasswordLength), salt, static_cast<int>(saltSize),
                                      1000, static_cast<int>(2 * keySize + kVerifierSize), derived) == 1);
    lastStrength = strength;
    std::memcpy(lastSalt, salt, saltSize);
  }
  return derived;
}

Expected Work(uint8_t strength, const uint8_t* stored, size_t size) {
  Expected expected;
  const size_t keySize = 8 + 8 * size_t{strength};
  const size_t saltSize = keySize / 2;
  if (strength < 1 || strength > 3 || size < saltSize + kVerifierSize + kCodeSize) {
    expected.open = RYL_E_BAD_FORMAT;
    return expected;
  }
  const uint8_t* derived = Derive(strength, stored);
  if (std::memcmp(derived + 2 * keySize, stored + saltSize, kVerifierSize) != 0) {
    expected.open = RYL_E_WRONG_PASSWORD;
    return expected;
  }
  const uint8_t* encrypted = stored + saltSize + kVerifierSize;
  const size_t length = size - saltSize - kVerifierSize - kCodeSize;

  uint8_t code[EVP_MAX_MD_SIZE];
  unsigned int codeSize = 0;
  FUZZ_CHECK(HMAC(EVP_sha1(), derived + keySize, static_cast<int>(keySize), encrypted, length, code, &codeSize) !=
             nullptr);
  expected.codeMatches = std::memcmp(code, encrypted + length, kCodeSize) == 0;

  // Block i (from 1) is XORed with AES(key, i as 16 little-endian bytes).
  const size_t blocks = (length + 15) / 16;
  std::vector<uint8_t> counters(blocks * 16 + 16);
  std::vector<uint8_t> stream(counters.size() + 16);
  for (size_t block = 0; block < blocks; ++block) {
    uint64_t value = block + 1;
    for (int i = 0; i < 8; ++i, value >>= 8) counters[block * 16 + i] = static_cast<uint8_t>(value);
  }
  EVP_CIPHER_CTX* aes = EVP_CIPHER_CTX_new();
  FUZZ_CHECK(aes != nullptr);
  int produced = 0;
  FUZZ_CHECK(EVP_EncryptInit_ex(aes, Ecb(keySize), nullptr, derived, nullptr) == 1);
  EVP_CIPHER_CTX_set_padding(aes, 0);
  FUZZ_CHECK(EVP_EncryptUpdate(aes, stream.data(), &produced, counters.data(), static_cast<int>(blocks * 16)) == 1);
  EVP_CIPHER_CTX_free(aes);
  expected.plain.resize(length);
  for (size_t i = 0; i < length; ++i) expected.plain[i] = encrypted[i] ^ stream[i];
  return expected;
}

bool IsPrefix(const std::vector<uint8_t>& prefix, const std::vector<uint8_t>& whole) {
  return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

// Reads the stored bytes through the stream the reader's way and holds
// every answer against the expected one. True when the data was good.
bool Decrypt(uint8_t strength, const uint8_t* stored, size_t size, const ryl::fuzz::DecodeSettings& settings,
             bool stopEarly) {
  const Expected expected = Work(strength, stored, size);
  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(stored, size);
  ObjectPtr<AesDecryptingStream> aes(MakeObject<AesDecryptingStream>());
  FUZZ_CHECK(source && aes);
  const ResultCode opened = aes->Open(source.get(), size, strength, PasswordBytes(), kPasswordLength);
  FUZZ_CHECK(opened == expected.open);
  if (opened < 0) {
    FUZZ_CHECK(!aes->IsOpen());
    FUZZ_CHECK(aes->Finish() == RYL_E_NOT_OPEN);
    return false;
  }

  std::vector<uint8_t> output;
  ResultCode last = RYL_OK;
  if (stopEarly) {
    std::vector<uint8_t> chunk(settings.readSize);
    uint32_t done = 0;
    last = aes->Read(chunk.data(), settings.readSize, settings.reportDone ? &done : nullptr);
    if (last >= 0) output.assign(chunk.begin(), chunk.begin() + (settings.reportDone ? done : settings.readSize));
  } else {
    const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(aes.get(), settings);
    FUZZ_CHECK(!outcome.capped || outcome.output.size() < expected.plain.size());
    output = outcome.output;
    last = outcome.last;
  }
  FUZZ_CHECK(IsPrefix(output, expected.plain));
  // The end of the data, reached with every byte handed out, vouches for
  // them; reaching it any other way is a refusal to read past the data.
  if (last == RYL_E_END_OF_DATA && output.size() == expected.plain.size()) FUZZ_CHECK(expected.codeMatches);
  if (!stopEarly && expected.codeMatches) {
    FUZZ_CHECK(last == RYL_E_END_OF_DATA);
    if (settings.reportDone) {
      FUZZ_CHECK(output.size() == expected.plain.size());
    } else {
      FUZZ_CHECK(expected.plain.size() - output.size() < settings.readSize);
    }
  }
  if (!stopEarly && !expected.codeMatches) {
    FUZZ_CHECK(last == RYL_E_BAD_FORMAT || (!settings.reportDone && last == RYL_E_END_OF_DATA));
  }

  const ResultCode finished = aes->Finish();
  FUZZ_CHECK(finished == (expected.codeMatches ? RYL_OK : RYL_E_BAD_FORMAT));
  // The verdict is kept.
  FUZZ_CHECK(aes->Finish() == finished);
  return finished == RYL_OK;
}

void RoundTrip(uint8_t strength, const uint8_t* plain, size_t length, const ryl::fuzz::DecodeSettings& settings) {
  ObjectPtr<ryl::streams::MemoryStream> sealed(MakeObject<ryl::streams::MemoryStream>());
  ObjectPtr<AesEncryptingStream> aes(MakeObject<AesEncryptingStream>());
  FUZZ_CHECK(sealed && aes);
  FUZZ_CHECK(aes->Open(sealed.get(), strength, PasswordBytes(), kPasswordLength) == RYL_OK);
  for (size_t at = 0; at < length;) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(length - at, settings.readSize));
    uint32_t done = 0;
    FUZZ_CHECK(aes->Write(plain + at, n, &done) == RYL_OK && done == n);
    at += n;
  }
  FUZZ_CHECK(aes->Close() == RYL_OK);
  FUZZ_CHECK(sealed->size() == length + AesEncryptingStream::Overhead(strength));
  std::vector<uint8_t> stored(sealed->data(), sealed->data() + sealed->size());

  const Expected expected = Work(strength, stored.data(), stored.size());
  FUZZ_CHECK(expected.open == RYL_OK && expected.codeMatches);
  FUZZ_CHECK(expected.plain.size() == length && std::equal(plain, plain + length, expected.plain.begin()));
  FUZZ_CHECK(Decrypt(strength, stored.data(), stored.size(), settings, false));

  // Any one bit changed anywhere is caught: by the verifier, or the code.
  size_t position = length;
  for (size_t i = 0; i < length; ++i) position = position * 31 + plain[i];
  position %= stored.size();
  stored[position] ^= static_cast<uint8_t>(1u << (length % 8));
  FUZZ_CHECK(!Decrypt(strength, stored.data(), stored.size(), settings, false));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  const uint8_t selector = data[0];
  const ryl::fuzz::DecodeSettings settings = ryl::fuzz::SettingsFromByte(selector);
  const uint8_t strengthIndex = (selector >> 5) & 3;
  // 3 stands for the strengths no record may carry.
  const uint8_t strength = strengthIndex == 3 ? static_cast<uint8_t>(size & 1 ? 0 : 4) : strengthIndex + 1;
  (void)Decrypt(strength, data + 1, size - 1, settings, (selector & 0x80) != 0);
  RoundTrip(strengthIndex == 3 ? 3 : strength, data + 1, size - 1, settings);
  return 0;
}
