// A positioned stream that keeps nothing: what the ZIP reader copies entry
// data into. Every byte written is still read (into a running sum), so the
// address sanitizer checks the whole buffer the library hands over.
#pragma once

#include <algorithm>
#include <cstdint>

#include "streams/positioned_stream.h"

namespace ryl::fuzz {

class NullSinkStream final : public streams::PositionedStream<NullSinkStream> {
 public:
  NullSinkStream() noexcept = default;

  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override {
    if (outSize == nullptr) return RYL_E_INVALID_ARG;
    *outSize = size_;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    size_ = size;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t* outDone) override {
    if (outDone != nullptr) *outDone = 0;
    return RYL_E_END_OF_DATA;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override {
    if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i) sum_ += bytes[i];
    written_ += count;
    size_ = std::max(size_, offset + count);
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

  uint64_t written() const noexcept { return written_; }

 private:
  uint64_t size_ = 0;
  uint64_t written_ = 0;
  uint64_t sum_ = 0;
};

}  // namespace ryl::fuzz
