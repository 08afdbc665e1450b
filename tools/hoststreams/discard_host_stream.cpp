#include "hoststreams/discard_host_stream.h"

namespace ryl::host {

ResultCode RYL_THISCALL DiscardHostStream::Write(const void*, uint32_t count, uint32_t* outDone) {
  return Took(count, outDone);
}

ResultCode RYL_THISCALL DiscardHostStream::SetSize(uint64_t size) {
  if (size < end()) set_end(size);
  return RYL_OK;
}

}  // namespace ryl::host
