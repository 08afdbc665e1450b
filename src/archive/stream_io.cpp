#include "archive/stream_io.h"

#include <cstring>

#include "core/entry_guard.h"
#include "core/result_helpers.h"

namespace ryl::archive {

ResultCode ReadExact(SeekableStream* stream, void* buffer, uint32_t count) noexcept {
  if (stream == nullptr || (buffer == nullptr && count != 0)) return RYL_E_INVALID_ARG;
  if (count == 0) return RYL_OK;
  uint32_t done = 0;
  const ResultCode rc = stream->Read(buffer, count, &done);
  if (rc < 0) return rc;
  return done == count ? RYL_OK : RYL_E_END_OF_DATA;
}

ResultCode ReadExactAt(SeekableStream* stream, uint64_t offset, void* buffer, uint32_t count) noexcept {
  RYL_RETURN_IF_FAILED(SeekTo(stream, offset));
  return ReadExact(stream, buffer, count);
}

ResultCode WriteAll(SeekableStream* stream, const void* buffer, uint32_t count) noexcept {
  if (stream == nullptr || (buffer == nullptr && count != 0)) return RYL_E_INVALID_ARG;
  if (count == 0) return RYL_OK;
  uint32_t done = 0;
  const ResultCode rc = stream->Write(buffer, count, &done);
  if (rc < 0) return rc;
  return done == count ? RYL_OK : RYL_E_END_OF_DATA;
}

ResultCode SeekTo(SeekableStream* stream, uint64_t offset) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  if (offset > static_cast<uint64_t>(INT64_MAX)) return RYL_E_INVALID_SEEK;
  return stream->Seek(static_cast<int64_t>(offset), RYL_SEEK_BEGIN);
}

ResultCode BufferedStreamReader::Fill(uint64_t at) noexcept {
  if (block_.empty()) {
    RYL_RETURN_IF_FAILED(core::GuardEntry([&]() -> ResultCode {
      block_.resize(kBlockSize);
      return RYL_OK;
    }));
  }
  blockLength_ = 0;
  blockStart_ = at;
  RYL_RETURN_IF_FAILED(SeekTo(stream_, at));
  uint32_t got = 0;
  const ResultCode rc = stream_->Read(block_.data(), kBlockSize, &got);
  if (rc < 0 && rc != RYL_E_END_OF_DATA) return rc;
  blockLength_ = got <= kBlockSize ? got : 0;
  return RYL_OK;
}

ResultCode BufferedStreamReader::Read(void* buffer, uint32_t count) noexcept {
  if (stream_ == nullptr || (buffer == nullptr && count != 0)) return RYL_E_INVALID_ARG;
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t at = position_;
  uint32_t done = 0;
  while (done < count) {
    if (at >= blockStart_ && at - blockStart_ < blockLength_) {
      const uint64_t available = blockLength_ - (at - blockStart_);
      const uint32_t n = available < count - done ? static_cast<uint32_t>(available) : count - done;
      std::memcpy(out + done, block_.data() + (at - blockStart_), n);
      done += n;
      at += n;
      continue;
    }
    RYL_RETURN_IF_FAILED(Fill(at));
    if (blockLength_ == 0) return RYL_E_END_OF_DATA;
  }
  position_ = at;
  return RYL_OK;
}

}  // namespace ryl::archive
