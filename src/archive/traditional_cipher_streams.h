// The traditional encryption as streams: a decrypting reader stacked on an
// entry's stored bytes (under the decompressor), and an encrypting writer
// stacked on the archive output (under the compressor). Both only stream;
// the positioned slots answer RYL_E_NOT_IMPLEMENTED. Neither owns the stream
// below it.
#pragma once

#include <cstdint>

#include "archive/traditional_cipher.h"
#include "ryl/streams.h"
#include "streams/sequential_stream.h"

namespace ryl::archive {

// Shared table slots of the cipher streams.
template <typename Derived>
class CipherStreamBase : public streams::SequentialStream<Derived> {
 public:
  void RYL_THISCALL Dispose() override { (void)static_cast<Derived*>(this)->Close(); }
};

// What the decrypting streams share: a source they read from and do not own,
// and no writing.
template <typename Derived>
class DecryptingStreamBase : public CipherStreamBase<Derived> {
 public:
  ResultCode RYL_THISCALL Write(const void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Close() override {
    source_ = nullptr;
    return RYL_OK;
  }
  uint8_t RYL_THISCALL IsOpen() override { return source_ != nullptr; }
  uint8_t RYL_THISCALL CanRead() override { return source_ != nullptr; }
  uint8_t RYL_THISCALL CanWrite() override { return 0; }

 protected:
  SeekableStream* source_ = nullptr;
};

class DecryptingStream final : public DecryptingStreamBase<DecryptingStream> {
 public:
  DecryptingStream() noexcept = default;

  // Reads the 12-byte header from source and decrypts it; its last byte must
  // equal checkByte. A header that cannot be read whole, or ends in another
  // byte, gives RYL_E_WRONG_PASSWORD and the stream stays closed.
  [[nodiscard]] ResultCode Open(SeekableStream* source, const TraditionalKeys& keys, uint8_t checkByte) noexcept;

  // Decrypts what the source delivers. With outDone, a partial count is
  // passed on as the source reports it; a read that yields no byte reports
  // RYL_E_END_OF_DATA.
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;

 private:
  TraditionalKeys keys_;
};

class EncryptingStream final : public CipherStreamBase<EncryptingStream> {
 public:
  EncryptingStream() noexcept = default;

  // Encrypts plainHeader (see MakeEncryptionHeader) at once; it reaches the
  // target ahead of the first data byte, or at Finish when none comes.
  [[nodiscard]] ResultCode Open(SeekableStream* target, const TraditionalKeys& keys,
                                const uint8_t (&plainHeader)[kEncryptionHeaderSize]) noexcept;

  // Encrypts and writes all of count bytes. A target that fails or takes
  // less leaves the key stream ahead of what was written, so the stream
  // refuses everything afterwards with RYL_E_INVALID_STATE.
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }

  // Writes the header if it has not gone out yet: an entry with no data
  // still carries its 12 bytes, which every reader expects.
  [[nodiscard]] ResultCode Finish() noexcept;
  // Finish, then let go of the target.
  ResultCode RYL_THISCALL Close() override;
  uint8_t RYL_THISCALL IsOpen() override { return target_ != nullptr; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return target_ != nullptr && !failed_; }

 private:
  [[nodiscard]] ResultCode Put(const uint8_t* data, uint32_t length) noexcept;

  static constexpr uint32_t kChunk = 4096;
  SeekableStream* target_ = nullptr;
  TraditionalKeys keys_;
  uint8_t header_[kEncryptionHeaderSize] = {};
  bool headerWritten_ = false;
  bool failed_ = false;
  uint8_t scratch_[kChunk];
};

}  // namespace ryl::archive
