// A stream over memory: an owned growable buffer, or fixed memory the caller
// provides (optionally read-only). The logical length is 32-bit.
#pragma once

#include <cstdint>

#include "streams/positioned_stream.h"

namespace ryl::streams {

class MemoryStream final : public PositionedStream<MemoryStream> {
 public:
  static constexpr uint32_t kReadOnly = 0x10;

  // An empty stream over an owned buffer that grows as it is written.
  MemoryStream() noexcept = default;
  // Fixed memory of capacity bytes, of which the first length are data. The
  // memory must outlive the stream; it never grows.
  MemoryStream(void* memory, uint32_t length, uint32_t capacity, uint32_t flags) noexcept;
  ~MemoryStream();
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                              uint8_t readOnly) override;
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return (flags_ & kReadOnly) == 0; }

  // Empties an owned buffer and gives its memory back (SetSize keeps it).
  // RYL_E_INVALID_STATE for fixed memory or while a view is open.
  [[nodiscard]] ResultCode FreeBuffer() noexcept;

  const uint8_t* data() const noexcept { return data_; }
  uint32_t size() const noexcept { return length_; }

  // Views keep pointers into the memory, so the owned buffer must not move
  // while any is open.
  void ViewOpened() noexcept { ++openViews_; }
  void ViewClosed() noexcept { --openViews_; }

 private:
  [[nodiscard]] ResultCode EnsureCapacity(uint32_t needed) noexcept;

  uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
  uint32_t flags_ = 0;
  uint32_t openViews_ = 0;
  bool owned_ = true;
};

}  // namespace ryl::streams
