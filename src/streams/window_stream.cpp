#include "streams/window_stream.h"

#include "core/result_helpers.h"

namespace ryl::streams {
namespace {
constexpr uint64_t kNegative = uint64_t{1} << 63;
}  // namespace

ResultCode WindowStream::Length(uint64_t* out) noexcept {
  if (!lengthKnown_) {
    if (source_ == nullptr) return RYL_E_NOT_OPEN;
    uint64_t sourceSize = 0;
    const ResultCode rc = source_->GetSize(&sourceSize);
    if (rc < 0) return rc;
    const uint64_t limit = sourceSize < end_ ? sourceSize : end_;
    length_ = limit > start_ ? limit - start_ : 0;
    lengthKnown_ = true;
  }
  *out = length_;
  return RYL_OK;
}

ResultCode RYL_THISCALL WindowStream::GetSize(uint64_t* outSize) {
  if (outSize == nullptr) return RYL_E_INVALID_ARG;
  return Length(outSize);
}

ResultCode WindowStream::Clip(uint64_t offset, uint32_t count, uint32_t* clipped) noexcept {
  uint64_t length = 0;
  const ResultCode rc = Length(&length);
  if (rc < 0) return rc;
  if (offset >= length) return RYL_E_END_OF_DATA;
  const uint64_t available = length - offset;
  *clipped = available < count ? static_cast<uint32_t>(available) : count;
  return RYL_OK;
}

ResultCode RYL_THISCALL WindowStream::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) {
  if ((offset & kNegative) != 0) return RYL_E_INVALID_ARG;
  if (outDone != nullptr) *outDone = 0;
  if (count == 0) return RYL_OK;
  uint32_t clipped = 0;
  const ResultCode clip = Clip(offset, count, &clipped);
  if (clip < 0) return clip;
  uint32_t done = 0;
  const ResultCode rc = source_->ReadAt(start_ + offset, buffer, clipped, &done);
  if (outDone != nullptr) *outDone = done;
  if (rc < 0) return rc;
  if (clipped == count && done == count) return rc;
  return outDone != nullptr ? RYL_S_END_OF_DATA : RYL_E_END_OF_DATA;
}

ResultCode RYL_THISCALL WindowStream::WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                              uint32_t* outDone) {
  if ((offset & kNegative) != 0) return RYL_E_INVALID_ARG;
  if (outDone != nullptr) *outDone = 0;
  if (count == 0) return RYL_OK;
  uint32_t clipped = 0;
  const ResultCode clip = Clip(offset, count, &clipped);
  if (clip < 0) return clip;
  return source_->WriteAt(start_ + offset, buffer, clipped, outDone);
}

ResultCode RYL_THISCALL WindowStream::Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                                          uint8_t readOnly) {
  uint64_t windowLength = 0;
  const ResultCode rc = Length(&windowLength);
  if (rc < 0) return rc;
  if (offset >= windowLength) return RYL_E_END_OF_DATA;
  const uint64_t available = windowLength - offset;
  const uint32_t clipped = (length == 0 || length > available) ? static_cast<uint32_t>(available) : length;
  return source_->Map(start_ + offset, clipped, viewReceiver, readOnly);
}

ResultCode CopyStream(SeekableStream* source, SeekableStream* target) noexcept {
  if (source == nullptr || target == nullptr) return RYL_E_INVALID_ARG;
  uint8_t buffer[4096];
  for (;;) {
    uint32_t done = 0;
    const ResultCode read = source->Read(buffer, sizeof buffer, &done);
    if (read < 0 || done == 0) {
      // Reaching the end of the source's data is how a copy ends.
      return (read < 0 && !core::IsEndOfData(read)) ? read : RYL_OK;
    }
    uint32_t written = 0;
    const ResultCode write = target->Write(buffer, done, &written);
    if (write < 0) return write;
    if (read == RYL_S_END_OF_DATA) return RYL_OK;
  }
}

}  // namespace ryl::streams
