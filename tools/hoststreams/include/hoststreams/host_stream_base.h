// Every HostStream slot answered as a host answers what it does not offer,
// so that a concrete stream overrides only the operations it supports.
#pragma once

#include "ryl/streams.h"

namespace ryl::host {

class HostStreamBase : public HostStream {
 public:
  // Streams built on this live on the host's side (usually its stack): the
  // library's Release and Dispose leave them alone.
  void RYL_THISCALL Release() override;
  uint8_t RYL_THISCALL IsOpen() override;
  uint8_t RYL_THISCALL Reserved2() override;
  uint8_t RYL_THISCALL Reserved3() override;
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;
  uint8_t RYL_THISCALL CanSaveState(uint32_t format) override;
  ResultCode RYL_THISCALL SaveState(HostStream* writer, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL LoadState(HostStream* reader, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, HostMappedView** outView, uint8_t readOnly) override;
  void RYL_THISCALL Dispose() override;

 protected:
  HostStreamBase() = default;
  HostStreamBase(const HostStreamBase&) = default;
  HostStreamBase& operator=(const HostStreamBase&) = default;
  // Never deleted through the base: the library holds these only by table.
  ~HostStreamBase() = default;
};

}  // namespace ryl::host
