// Streams with scripted behaviour, to drive the codec streams into the
// corners a real file or memory stream does not reach on demand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "ryl/streams.h"
#include "test_data.h"

namespace ryl::test {

// Everything but Read and Write is refused; the tests own these on the stack.
class ScriptedStreamBase : public SeekableStream {
 public:
  void* RYL_THISCALL Query(uint32_t type, uint32_t, uint32_t* outHighest) override {
    if (outHighest != nullptr) *outHighest = type == RYL_TYPE_SEEKABLE_STREAM ? 1 : 0;
    return type == RYL_TYPE_SEEKABLE_STREAM ? this : nullptr;
  }
  void RYL_THISCALL Destroy(const AllocatorRecord*) override {}
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Write(const void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
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
  void RYL_THISCALL Dispose() override {}
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL IsAsynchronous() override { return 0; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }
};

// Hands out its bytes, at most chunk per read; then RYL_E_END_OF_DATA, or
// success with nothing when endsQuietly is set.
class ScriptedSource final : public ScriptedStreamBase {
 public:
  ScriptedSource(Bytes bytes, uint32_t chunkSize) : data(std::move(bytes)), chunk(chunkSize) {}

  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    ++reads;
    if (reads == failOnRead) return failure;
    const size_t left = data.size() - position;
    if (left == 0) {
      if (endsQuietly) {
        if (outDone != nullptr) *outDone = 0;
        return RYL_OK;
      }
      return RYL_E_END_OF_DATA;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>({left, count, chunk}));
    std::memcpy(buffer, data.data() + position, n);
    position += n;
    if (outDone != nullptr) *outDone = n;
    return RYL_OK;
  }

  Bytes data;
  size_t position = 0;
  uint32_t chunk;
  int reads = 0;
  int failOnRead = 0;  // 1-based; 0 never
  ResultCode failure = RYL_E_ACCESS_DENIED;
  bool endsQuietly = false;
};

// Collects what is written, at most maxPerWrite per call; can fail a given
// write or take nothing while reporting success.
class ScriptedSink final : public ScriptedStreamBase {
 public:
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    ++writes;
    if (writes == failOnWrite || failAll) return failure;
    const uint32_t n = takesNothing ? 0 : std::min(count, maxPerWrite);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    written.insert(written.end(), bytes, bytes + n);
    if (outDone != nullptr) *outDone = n;
    return RYL_OK;
  }

  Bytes written;
  uint32_t maxPerWrite = UINT32_MAX;
  int writes = 0;
  int failOnWrite = 0;  // 1-based; 0 never
  bool failAll = false;
  bool takesNothing = false;
  ResultCode failure = RYL_E_ACCESS_DENIED;
};

}  // namespace ryl::test
