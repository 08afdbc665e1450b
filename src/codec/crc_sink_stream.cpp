#include "codec/crc_sink_stream.h"


namespace ryl::codec {

ResultCode RYL_THISCALL CrcSinkStream::Read(void*, uint32_t, uint32_t*) { return RYL_E_NOT_IMPLEMENTED; }

ResultCode RYL_THISCALL CrcSinkStream::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  // A null buffer with a count would be read from address 0; take nothing.
  if (buffer == nullptr) count = 0;
  crc_.Add(buffer, count);
  if (outDone != nullptr) *outDone = count;
  return RYL_OK;
}

}  // namespace ryl::codec
