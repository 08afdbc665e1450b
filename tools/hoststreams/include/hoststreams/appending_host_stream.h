// A destination written front to back, so that where it is and how large it
// is are the same number: the bytes it has taken, less any cut back.
#pragma once

#include "hoststreams/host_stream_base.h"

namespace ryl::host {

class AppendingHostStream : public HostStreamBase {
 public:
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;

 protected:
  AppendingHostStream() = default;
  ~AppendingHostStream() = default;

  // What a successful Write answers once it has taken count bytes.
  ResultCode Took(uint32_t count, uint32_t* outDone);

  uint64_t end() const { return end_; }
  void set_end(uint64_t end) { end_ = end; }

 private:
  uint64_t end_ = 0;
};

}  // namespace ryl::host
