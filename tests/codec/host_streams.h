// A host's stream as a C++ host would write one: a HostStream over a byte
// vector, with switches for the failures the tests need.
#pragma once

#include <algorithm>
#include <cstring>

#include "ryl/ryl.h"
#include "test_data.h"

namespace ryl::test {

class MemoryHostStream final : public HostStream {
 public:
  MemoryHostStream() = default;
  explicit MemoryHostStream(Bytes bytes) : data(std::move(bytes)) {}

  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    ++reads;
    const size_t left = data.size() - readPosition;
    if (left == 0) return RYL_E_END_OF_DATA;
    const auto n = static_cast<uint32_t>(std::min<size_t>(left, count));
    std::memcpy(buffer, data.data() + readPosition, n);
    readPosition += n;
    if (outDone != nullptr) *outDone = n;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    ++writes;
    if (writeFailure < 0) return writeFailure;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    data.insert(data.end(), bytes, bytes + count);
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Tell(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}

  Bytes data;
  size_t readPosition = 0;
  int reads = 0;
  int writes = 0;
  ResultCode writeFailure = RYL_OK;
};

}  // namespace ryl::test
