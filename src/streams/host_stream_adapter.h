// Makes a host's stream usable wherever the library needs a SeekableStream.
// Read, write, tell, seek, get size and set size go one to one to the host's
// slots; positioned reads and writes to its positioned slots. The adapter
// never owns the host's stream.
#pragma once

#include "core/query.h"
#include "ryl/streams.h"

namespace ryl::streams {

class HostStreamAdapter final : public SeekableStream {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_SEEKABLE_STREAM;
  static constexpr uint32_t kHighestVersion = 1;

  explicit HostStreamAdapter(HostStream* host) noexcept : host_(host) {}

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<SeekableStream*>(this), kTypeId, kHighestVersion, type, version,
                             outHighest);
  }
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    return host_->Read(buffer, count, outDone);
  }
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    return host_->Write(buffer, count, outDone);
  }
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override { return host_->Tell(outPosition); }
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override { return host_->Seek(offset, origin); }
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override { return host_->GetSize(outSize); }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override { return host_->SetSize(size); }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override {
    return host_->ReadAt(offset, buffer, count, outDone);
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                  uint32_t* outDone) override {
    return host_->WriteAt(offset, buffer, count, outDone);
  }
  // A host's mapping cannot be expressed as one of the library's views.
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return host_->IsOpen(); }
  uint8_t RYL_THISCALL IsAsynchronous() override { return 0; }
  uint8_t RYL_THISCALL CanRead() override { return host_->IsOpen(); }
  uint8_t RYL_THISCALL CanWrite() override { return host_->IsOpen(); }

 private:
  HostStream* host_;
};

}  // namespace ryl::streams
