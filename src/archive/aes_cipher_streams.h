// WinZip's AES encryption as streams, like the traditional cipher's: a
// decrypting reader stacked on an entry's stored bytes (under the
// decompressor) and an encrypting writer stacked on the archive output
// (under the compressor). The stored bytes are the salt, the 2-byte
// password verifier, the encrypted data and a 10-byte authentication code.
// Neither stream owns the stream below it; the positioned slots answer
// RYL_E_NOT_IMPLEMENTED.
#pragma once

#include <cstdint>

#include "archive/traditional_cipher_streams.h"
#include "ryl/streams.h"
#include "sys/codec/winzip_aes_cipher.h"

namespace ryl::archive {

class AesDecryptingStream final : public DecryptingStreamBase<AesDecryptingStream> {
 public:
  AesDecryptingStream() noexcept = default;

  // Reads salt and verifier from source, whose next storedSize bytes are the
  // entry's. Stored data too short to hold salt, verifier and code is
  // RYL_E_BAD_FORMAT; a verifier the password does not give is
  // RYL_E_WRONG_PASSWORD (one wrong password in 65536 passes it, and is
  // then caught by the authentication code).
  [[nodiscard]] ResultCode Open(SeekableStream* source, uint64_t storedSize, uint8_t strength,
                                const uint8_t* password, size_t passwordLength) noexcept;

  // Decrypts what the source delivers, authenticating it first. When the
  // encrypted data is used up the stored code is read and compared: a
  // mismatch is RYL_E_BAD_FORMAT, and so is a source that ends early.
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;

  // Authenticates whatever encrypted data the reader above left unread (a
  // decompressor stops at its end marker) and checks the code. The entry's
  // data is good only once this succeeded; the answer is kept.
  [[nodiscard]] ResultCode Finish() noexcept;

 private:
  [[nodiscard]] ResultCode CheckCode() noexcept;

  sys::RylWinZipAesCipher cipher_;
  uint64_t remaining_ = 0;          // encrypted bytes not yet read
  ResultCode verdict_ = RYL_OK;     // of the code check, once made
  bool checked_ = false;
};

class AesEncryptingStream final : public CipherStreamBase<AesEncryptingStream> {
 public:
  AesEncryptingStream() noexcept = default;

  // Draws a random salt and derives the keys. Salt and verifier reach the
  // target ahead of the first data byte, or at Finish when none comes.
  [[nodiscard]] ResultCode Open(SeekableStream* target, uint8_t strength, const uint8_t* password,
                                size_t passwordLength) noexcept;

  // Encrypts and writes all of count bytes. A target that fails or takes
  // less leaves the stream refusing everything afterwards with
  // RYL_E_INVALID_STATE.
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }

  // Writes salt and verifier if they have not gone out yet, then the
  // authentication code. Once only; later calls answer as the first did.
  [[nodiscard]] ResultCode Finish() noexcept;
  ResultCode RYL_THISCALL Close() override;
  uint8_t RYL_THISCALL IsOpen() override { return target_ != nullptr; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return target_ != nullptr && !failed_ && !finished_; }

  // The bytes this stream adds to the data: salt, verifier and code.
  [[nodiscard]] static constexpr uint32_t Overhead(uint8_t strength) noexcept {
    return sys::RylWinZipAesCipher::SaltSize(strength) + sys::RylWinZipAesCipher::kVerifierSize +
           sys::RylWinZipAesCipher::kMacSize;
  }

 private:
  [[nodiscard]] ResultCode WriteHeader() noexcept;
  [[nodiscard]] ResultCode Put(const uint8_t* data, uint32_t length) noexcept;

  static constexpr uint32_t kChunk = 16384;
  SeekableStream* target_ = nullptr;
  sys::RylWinZipAesCipher cipher_;
  uint8_t header_[sys::RylWinZipAesCipher::kMaxSaltSize + sys::RylWinZipAesCipher::kVerifierSize] = {};
  uint32_t headerSize_ = 0;
  bool headerWritten_ = false;
  bool failed_ = false;
  bool finished_ = false;
  uint8_t scratch_[kChunk];
};

}  // namespace ryl::archive
