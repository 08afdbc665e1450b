#include "archive/traditional_cipher_streams.h"

#include "archive/stream_io.h"
#include "core/result_helpers.h"

namespace ryl::archive {

ResultCode DecryptingStream::Open(SeekableStream* source, const TraditionalKeys& keys, uint8_t checkByte) noexcept {
  if (source == nullptr || source == this) return RYL_E_INVALID_ARG;
  TraditionalKeys working = keys;
  uint8_t header[kEncryptionHeaderSize];
  if (ReadExact(source, header, kEncryptionHeaderSize) < 0) return RYL_E_WRONG_PASSWORD;
  working.Decrypt(header, kEncryptionHeaderSize);
  if (header[kEncryptionHeaderSize - 1] != checkByte) return RYL_E_WRONG_PASSWORD;
  source_ = source;
  keys_ = working;
  return RYL_OK;
}

ResultCode RYL_THISCALL DecryptingStream::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  if (source_ == nullptr) return RYL_E_NOT_OPEN;
  if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
  if (count == 0) return RYL_OK;
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (outDone == nullptr) {
    // All or nothing: the source moves only when it delivered all of it.
    const ResultCode rc = source_->Read(buffer, count, nullptr);
    if (rc < 0) return rc;
    keys_.Decrypt(bytes, count);
    return rc;
  }
  uint32_t done = 0;
  const ResultCode rc = source_->Read(buffer, count, &done);
  if (done > count) return RYL_E_INVALID_STATE;
  // Bytes the source reports as delivered have moved it on, even alongside
  // a failure; the keys must follow them.
  keys_.Decrypt(bytes, done);
  *outDone = done;
  if (rc >= 0 && done == 0) return RYL_E_END_OF_DATA;
  return rc;
}

ResultCode EncryptingStream::Open(SeekableStream* target, const TraditionalKeys& keys,
                                  const uint8_t (&plainHeader)[kEncryptionHeaderSize]) noexcept {
  if (target == nullptr || target == this) return RYL_E_INVALID_ARG;
  target_ = target;
  keys_ = keys;
  keys_.Encrypt(plainHeader, header_, kEncryptionHeaderSize);
  headerWritten_ = false;
  failed_ = false;
  return RYL_OK;
}

ResultCode EncryptingStream::Put(const uint8_t* data, uint32_t length) noexcept {
  const ResultCode rc = WriteAll(target_, data, length);
  if (rc < 0) failed_ = true;
  return rc;
}

ResultCode EncryptingStream::Finish() noexcept {
  if (target_ == nullptr) return RYL_E_NOT_OPEN;
  if (failed_) return RYL_E_INVALID_STATE;
  if (headerWritten_) return RYL_OK;
  RYL_RETURN_IF_FAILED(Put(header_, kEncryptionHeaderSize));
  headerWritten_ = true;
  return RYL_OK;
}

ResultCode RYL_THISCALL EncryptingStream::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
  RYL_RETURN_IF_FAILED(Finish());
  const auto* plain = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const uint32_t n = count - done < kChunk ? count - done : kChunk;
    keys_.Encrypt(plain + done, scratch_, n);
    RYL_RETURN_IF_FAILED(Put(scratch_, n));
    done += n;
    if (outDone != nullptr) *outDone = done;
  }
  return RYL_OK;
}

ResultCode RYL_THISCALL EncryptingStream::Close() {
  if (target_ == nullptr) return RYL_OK;
  const ResultCode finished = Finish();
  target_ = nullptr;
  return finished;
}

}  // namespace ryl::archive
