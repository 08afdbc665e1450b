#include "archive/aes_cipher_streams.h"

#include <cstring>

#include "archive/stream_io.h"
#include "core/result_helpers.h"
#include "sys/random.h"

namespace ryl::archive {

using sys::RylWinZipAesCipher;

namespace {

// Compares without stopping at the first difference, so that the time taken
// tells a forger nothing about how much of a guessed code was right.
bool CodesEqual(const uint8_t* a, const uint8_t* b, uint32_t size) noexcept {
  uint8_t difference = 0;
  for (uint32_t i = 0; i < size; ++i) difference |= static_cast<uint8_t>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace

ResultCode AesDecryptingStream::Open(SeekableStream* source, uint64_t storedSize, uint8_t strength,
                                     const uint8_t* password, size_t passwordLength) noexcept {
  if (source == nullptr || source == this) return RYL_E_INVALID_ARG;
  if (!RylWinZipAesCipher::IsValidStrength(strength)) return RYL_E_BAD_FORMAT;
  const uint32_t saltSize = RylWinZipAesCipher::SaltSize(strength);
  const uint64_t overhead = uint64_t{saltSize} + RylWinZipAesCipher::kVerifierSize + RylWinZipAesCipher::kMacSize;
  if (storedSize < overhead) return RYL_E_BAD_FORMAT;
  uint8_t header[RylWinZipAesCipher::kMaxSaltSize + RylWinZipAesCipher::kVerifierSize];
  if (ReadExact(source, header, saltSize + RylWinZipAesCipher::kVerifierSize) < 0) return RYL_E_BAD_FORMAT;
  uint8_t verifier[RylWinZipAesCipher::kVerifierSize];
  RYL_RETURN_IF_FAILED(cipher_.Initialize(strength, password, passwordLength, header, verifier));
  if (std::memcmp(verifier, header + saltSize, sizeof verifier) != 0) return RYL_E_WRONG_PASSWORD;
  source_ = source;
  remaining_ = storedSize - overhead;
  checked_ = false;
  verdict_ = RYL_OK;
  return RYL_OK;
}

ResultCode AesDecryptingStream::CheckCode() noexcept {
  if (checked_) return verdict_;
  checked_ = true;
  uint8_t stored[RylWinZipAesCipher::kMacSize];
  uint8_t computed[RylWinZipAesCipher::kMacSize];
  if (ReadExact(source_, stored, sizeof stored) < 0 || cipher_.FinishMac(computed) < 0 ||
      !CodesEqual(stored, computed, sizeof stored)) {
    verdict_ = RYL_E_BAD_FORMAT;
  }
  return verdict_;
}

ResultCode RYL_THISCALL AesDecryptingStream::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  if (source_ == nullptr) return RYL_E_NOT_OPEN;
  if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
  if (count == 0) return RYL_OK;
  if (remaining_ == 0) {
    RYL_RETURN_IF_FAILED(CheckCode());
    return RYL_E_END_OF_DATA;
  }
  // All or nothing without outDone: only a whole count is a success.
  if (outDone == nullptr && count > remaining_) return RYL_E_END_OF_DATA;
  const uint32_t want = count < remaining_ ? count : static_cast<uint32_t>(remaining_);
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  if (outDone == nullptr) {
    if (ReadExact(source_, bytes, want) < 0) return RYL_E_BAD_FORMAT;
    done = want;
  } else {
    const ResultCode rc = source_->Read(bytes, want, &done);
    if (done > want) return RYL_E_INVALID_STATE;
    // The window ends where the entry's stored bytes end: a source that
    // stops short of them has lost data the code covers.
    if (done == 0) return rc < 0 && !core::IsEndOfData(rc) ? rc : RYL_E_BAD_FORMAT;
  }
  cipher_.Authenticate(bytes, done);
  cipher_.Transform(bytes, done);
  remaining_ -= done;
  if (outDone != nullptr) *outDone = done;
  if (remaining_ == 0) RYL_RETURN_IF_FAILED(CheckCode());
  return RYL_OK;
}

ResultCode AesDecryptingStream::Finish() noexcept {
  if (source_ == nullptr) return RYL_E_NOT_OPEN;
  uint8_t scratch[4096];
  while (remaining_ != 0) {
    const uint32_t want = remaining_ < sizeof scratch ? static_cast<uint32_t>(remaining_) : sizeof scratch;
    if (ReadExact(source_, scratch, want) < 0) {
      checked_ = true;
      verdict_ = RYL_E_BAD_FORMAT;
      return verdict_;
    }
    cipher_.Authenticate(scratch, want);
    remaining_ -= want;
  }
  return CheckCode();
}

ResultCode AesEncryptingStream::Open(SeekableStream* target, uint8_t strength, const uint8_t* password,
                                     size_t passwordLength) noexcept {
  if (target == nullptr || target == this || !RylWinZipAesCipher::IsValidStrength(strength)) {
    return RYL_E_INVALID_ARG;
  }
  const uint32_t saltSize = RylWinZipAesCipher::SaltSize(strength);
  RYL_RETURN_IF_FAILED(sys::RylGenerateRandomBytes(header_, saltSize));
  uint8_t verifier[RylWinZipAesCipher::kVerifierSize];
  RYL_RETURN_IF_FAILED(cipher_.Initialize(strength, password, passwordLength, header_, verifier));
  std::memcpy(header_ + saltSize, verifier, sizeof verifier);
  headerSize_ = saltSize + RylWinZipAesCipher::kVerifierSize;
  target_ = target;
  headerWritten_ = false;
  failed_ = false;
  finished_ = false;
  return RYL_OK;
}

ResultCode AesEncryptingStream::Put(const uint8_t* data, uint32_t length) noexcept {
  const ResultCode rc = WriteAll(target_, data, length);
  if (rc < 0) failed_ = true;
  return rc;
}

ResultCode AesEncryptingStream::WriteHeader() noexcept {
  if (headerWritten_) return RYL_OK;
  RYL_RETURN_IF_FAILED(Put(header_, headerSize_));
  headerWritten_ = true;
  return RYL_OK;
}

ResultCode RYL_THISCALL AesEncryptingStream::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  if (target_ == nullptr) return RYL_E_NOT_OPEN;
  if (failed_ || finished_) return RYL_E_INVALID_STATE;
  if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
  RYL_RETURN_IF_FAILED(WriteHeader());
  const auto* plain = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const uint32_t n = count - done < kChunk ? count - done : kChunk;
    std::memcpy(scratch_, plain + done, n);
    cipher_.Transform(scratch_, n);
    cipher_.Authenticate(scratch_, n);
    RYL_RETURN_IF_FAILED(Put(scratch_, n));
    done += n;
    if (outDone != nullptr) *outDone = done;
  }
  return RYL_OK;
}

ResultCode AesEncryptingStream::Finish() noexcept {
  if (target_ == nullptr) return RYL_E_NOT_OPEN;
  if (failed_) return RYL_E_INVALID_STATE;
  if (finished_) return RYL_OK;
  RYL_RETURN_IF_FAILED(WriteHeader());
  uint8_t code[RylWinZipAesCipher::kMacSize];
  RYL_RETURN_IF_FAILED(cipher_.FinishMac(code));
  RYL_RETURN_IF_FAILED(Put(code, sizeof code));
  finished_ = true;
  return RYL_OK;
}

ResultCode RYL_THISCALL AesEncryptingStream::Close() {
  if (target_ == nullptr) return RYL_OK;
  const ResultCode finished = Finish();
  target_ = nullptr;
  return finished;
}

}  // namespace ryl::archive
