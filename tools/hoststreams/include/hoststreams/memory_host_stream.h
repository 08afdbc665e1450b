// A host stream over bytes in memory, with the counters and failure switches
// a test needs to watch the library and to make the host fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hoststreams/host_stream_base.h"

namespace ryl::host {

// Reads start at the front; writes go at a write position that starts at the
// end of the initial bytes, so a stream made with bytes can be read as a
// source or appended to as a destination. Tell answers the write position
// and SetSize cuts back (or grows with zeros) as a file would.
template <typename Bytes>
class MemoryHostStream final : public HostStreamBase {
  static_assert(sizeof(typename Bytes::value_type) == 1, "the stream holds bytes");

 public:
  MemoryHostStream() = default;
  explicit MemoryHostStream(Bytes initial);

  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;

  Bytes data;
  size_t readPosition = 0;
  size_t writePosition = 0;

  // Calls the library made, failed ones included.
  int reads = 0;
  int writes = 0;
  int setSizeCalls = 0;

  // Tell answers RYL_E_NOT_IMPLEMENTED, as a stream that cannot say where it is.
  bool tellFails = false;
  // While writeFailure is a failure code, every write after the first
  // writesAllowed ones (counted from the start) fails with it.
  ResultCode writeFailure = RYL_OK;
  int writesAllowed = 0;
};

extern template class MemoryHostStream<std::string>;
extern template class MemoryHostStream<std::vector<uint8_t>>;

}  // namespace ryl::host
