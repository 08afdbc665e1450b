#include "hoststreams/appending_host_stream.h"

namespace ryl::host {

ResultCode RYL_THISCALL AppendingHostStream::Tell(uint64_t* outPosition) {
  *outPosition = end_;
  return RYL_OK;
}

ResultCode RYL_THISCALL AppendingHostStream::GetSize(uint64_t* outSize) {
  *outSize = end_;
  return RYL_OK;
}

ResultCode AppendingHostStream::Took(uint32_t count, uint32_t* outDone) {
  end_ += count;
  if (outDone != nullptr) *outDone = count;
  return RYL_OK;
}

}  // namespace ryl::host
