// A read/write window onto [start, end) of another stream, which it does not
// own. The ZIP reader reads entry data through one.
#pragma once

#include <cstdint>

#include "streams/positioned_stream.h"

namespace ryl::streams {

class WindowStream final : public PositionedStream<WindowStream> {
 public:
  // An end below the start is raised to the start.
  WindowStream(SeekableStream* source, uint64_t start, uint64_t end) noexcept
      : source_(source), start_(start), end_(end < start ? start : end) {}

  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                              uint8_t readOnly) override;
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return source_ != nullptr && source_->IsOpen(); }
  uint8_t RYL_THISCALL CanRead() override { return source_ != nullptr && source_->CanRead(); }
  uint8_t RYL_THISCALL CanWrite() override { return source_ != nullptr && source_->CanWrite(); }

 private:
  // The window's length, computed on first use and then kept.
  [[nodiscard]] ResultCode Length(uint64_t* out) noexcept;
  // Cuts [offset, offset + count) to the window; false when nothing is left.
  [[nodiscard]] ResultCode Clip(uint64_t offset, uint32_t count, uint32_t* clipped) noexcept;

  SeekableStream* source_;
  uint64_t start_;
  uint64_t end_;
  bool lengthKnown_ = false;
  uint64_t length_ = 0;
};

// Copies the rest of source into target in 4096-byte steps. The end of the
// source's data is success; a write failure is returned.
[[nodiscard]] ResultCode CopyStream(SeekableStream* source, SeekableStream* target) noexcept;

}  // namespace ryl::streams
