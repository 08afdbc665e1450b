// A destination that swallows what it is given and counts it: for reading
// data only to have the library check it on the way.
#pragma once

#include "hoststreams/appending_host_stream.h"

namespace ryl::host {

class DiscardHostStream final : public AppendingHostStream {
 public:
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  // Only ever shrinks the count: there is nothing to grow into.
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;

  uint64_t written() const { return end(); }
};

}  // namespace ryl::host
