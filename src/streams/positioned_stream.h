// What every positioned stream shares: the position, and Read, Write, Tell
// and Seek in terms of the stream's own ReadAt, WriteAt and GetSize. Native
// calls always receive an explicit offset, so the position is bookkeeping.
#pragma once

#include <cstdint>

#include "core/delivery.h"
#include "core/query.h"
#include "ryl/streams.h"

namespace ryl::streams {

// Applies an origin and offset to a position; the rules every stream shares.
[[nodiscard]] ResultCode ComputeSeekTarget(uint64_t current, int64_t offset, uint32_t origin,
                                           SeekableStream* sizeSource, uint64_t* outTarget) noexcept;

template <typename Derived>
class PositionedStream : public SeekableStream {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_SEEKABLE_STREAM;
  static constexpr uint32_t kHighestVersion = 1;

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<SeekableStream*>(this), kTypeId, kHighestVersion, type, version,
                             outHighest);
  }

  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override {
    core::DestroyPlainObject(static_cast<Derived*>(this), allocator);
  }

  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    uint32_t done = 0;
    const ResultCode rc = ReadAt(position_, buffer, count, outDone != nullptr ? &done : nullptr);
    Advance(rc, count, outDone, done);
    return rc;
  }

  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    uint32_t done = 0;
    const ResultCode rc = WriteAt(position_, buffer, count, outDone != nullptr ? &done : nullptr);
    Advance(rc, count, outDone, done);
    return rc;
  }

  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override {
    if (outPosition == nullptr) return RYL_E_INVALID_ARG;
    *outPosition = position_;
    return RYL_OK;
  }

  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override {
    uint64_t target = 0;
    const ResultCode rc = ComputeSeekTarget(position_, offset, origin, this, &target);
    if (rc < 0) return rc;
    position_ = target;
    return RYL_OK;
  }

  void RYL_THISCALL Dispose() override { static_cast<Derived*>(this)->Close(); }

  uint8_t RYL_THISCALL IsAsynchronous() override { return 0; }

 protected:
  uint64_t position() const noexcept { return position_; }
  void set_position(uint64_t position) noexcept { position_ = position; }

 private:
  // A successful call moves by what was done (all of it when the caller did
  // not ask); a failed one moves only by what it reports as done.
  void Advance(ResultCode rc, uint32_t count, uint32_t* outDone, uint32_t done) noexcept {
    if (outDone != nullptr) {
      *outDone = done;
      position_ += done;
    } else if (rc >= 0) {
      position_ += count;
    }
  }

  uint64_t position_ = 0;
};

}  // namespace ryl::streams
