// What every stream that only streams shares (the compression, encryption
// and hashing streams): it answers the stream type, frees itself as Derived,
// and offers none of the positioned operations. Derived supplies Read, Write,
// Dispose, Close and the state slots.
#pragma once

#include <cstdint>

#include "core/delivery.h"
#include "core/query.h"
#include "ryl/streams.h"

namespace ryl::streams {

template <typename Derived>
class SequentialStream : public SeekableStream {
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

  ResultCode RYL_THISCALL Tell(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  uint8_t RYL_THISCALL IsAsynchronous() override { return 0; }
};

}  // namespace ryl::streams
