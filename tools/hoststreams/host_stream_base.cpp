#include "hoststreams/host_stream_base.h"

namespace ryl::host {

void RYL_THISCALL HostStreamBase::Release() {}

// The two reserved slots answer true on every stream the library knows.
uint8_t RYL_THISCALL HostStreamBase::IsOpen() { return 1; }
uint8_t RYL_THISCALL HostStreamBase::Reserved2() { return 1; }
uint8_t RYL_THISCALL HostStreamBase::Reserved3() { return 1; }

ResultCode RYL_THISCALL HostStreamBase::ReadAt(uint64_t, void*, uint32_t, uint32_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::Read(void*, uint32_t, uint32_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::WriteAt(uint64_t, const void*, uint32_t, uint32_t*) {
  return RYL_E_NOT_IMPLEMENTED;
}
ResultCode RYL_THISCALL HostStreamBase::Write(const void*, uint32_t, uint32_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::Tell(uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::Seek(int64_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::GetSize(uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::SetSize(uint64_t) { return RYL_E_NOT_IMPLEMENTED; }

uint8_t RYL_THISCALL HostStreamBase::CanSaveState(uint32_t) { return 0; }
ResultCode RYL_THISCALL HostStreamBase::SaveState(HostStream*, RylHandleMarshaller*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL HostStreamBase::LoadState(HostStream*, RylHandleMarshaller*) { return RYL_E_NOT_IMPLEMENTED; }

ResultCode RYL_THISCALL HostStreamBase::Map(uint64_t, uint32_t, HostMappedView**, uint8_t) {
  return RYL_E_NOT_IMPLEMENTED;
}

void RYL_THISCALL HostStreamBase::Dispose() {}

}  // namespace ryl::host
