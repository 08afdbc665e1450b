#include "hoststreams/memory_host_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ryl::host {

template <typename Bytes>
MemoryHostStream<Bytes>::MemoryHostStream(Bytes initial) : data(std::move(initial)), writePosition(data.size()) {}

template <typename Bytes>
ResultCode RYL_THISCALL MemoryHostStream<Bytes>::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  ++reads;
  const size_t left = data.size() - readPosition;
  if (left == 0) return RYL_E_END_OF_DATA;
  const auto n = static_cast<uint32_t>(std::min<size_t>(left, count));
  std::memcpy(buffer, data.data() + readPosition, n);
  readPosition += n;
  if (outDone != nullptr) *outDone = n;
  return RYL_OK;
}

template <typename Bytes>
ResultCode RYL_THISCALL MemoryHostStream<Bytes>::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  const int before = writes++;
  if (writeFailure < 0 && before >= writesAllowed) return writeFailure;
  if (count != 0) {
    const size_t end = writePosition + count;
    if (end > data.size()) data.resize(end);
    std::memcpy(data.data() + writePosition, buffer, count);
    writePosition = end;
  }
  if (outDone != nullptr) *outDone = count;
  return RYL_OK;
}

template <typename Bytes>
ResultCode RYL_THISCALL MemoryHostStream<Bytes>::Tell(uint64_t* outPosition) {
  if (tellFails) return RYL_E_NOT_IMPLEMENTED;
  *outPosition = writePosition;
  return RYL_OK;
}

template <typename Bytes>
ResultCode RYL_THISCALL MemoryHostStream<Bytes>::GetSize(uint64_t* outSize) {
  *outSize = data.size();
  return RYL_OK;
}

template <typename Bytes>
ResultCode RYL_THISCALL MemoryHostStream<Bytes>::SetSize(uint64_t size) {
  ++setSizeCalls;
  data.resize(static_cast<size_t>(size));
  readPosition = std::min(readPosition, data.size());
  writePosition = std::min(writePosition, data.size());
  return RYL_OK;
}

template class MemoryHostStream<std::string>;
template class MemoryHostStream<std::vector<uint8_t>>;

}  // namespace ryl::host
