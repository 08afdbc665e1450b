// An output that can only be appended to (a pipe), made to answer Tell from
// the bytes that passed through it, which is all the archive writer needs
// of a position once every entry carries a data descriptor.
#pragma once

#include <cstdint>

#include "ryl/streams.h"
#include "streams/sequential_stream.h"

namespace ryl::archive {

class ForwardOnlyOutput final : public streams::SequentialStream<ForwardOnlyOutput> {
 public:
  explicit ForwardOnlyOutput(SeekableStream* target) noexcept : target_(target) {}

  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    uint32_t done = 0;
    const ResultCode rc = target_->Write(buffer, count, &done);
    if (done > count) return RYL_E_INVALID_STATE;
    written_ += done;
    if (outDone != nullptr) *outDone = done;
    return rc;
  }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override {
    if (outPosition == nullptr) return RYL_E_INVALID_ARG;
    *outPosition = written_;
    return RYL_OK;
  }
  void RYL_THISCALL Dispose() override {}
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

 private:
  SeekableStream* target_;
  uint64_t written_ = 0;
};

}  // namespace ryl::archive
