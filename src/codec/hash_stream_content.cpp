#include "codec/hash_stream_content.h"

#include "sys/heap_bytes.h"

namespace ryl::codec {
namespace {

constexpr uint32_t kChunk = 0x4000;

}  // namespace

ResultCode HashStreamContent(HashAlgorithm& hash, SeekableStream& source, uint8_t* out, uint32_t outLength) noexcept {
  if (outLength < hash.GetDigestSize()) return RYL_E_OUT_OF_RANGE;
  hash.Initialize();
  sys::HeapBytes buffer;
  if (!buffer.Allocate(kChunk)) return RYL_E_OUT_OF_MEMORY;
  ResultCode rc = RYL_OK;
  for (;;) {
    uint32_t count = 0;
    rc = source.Read(buffer.data(), kChunk, &count);
    if (rc < 0) break;
    // A source that succeeds without delivering anything has nothing more
    // to give; asking again would never end.
    if (count == 0) {
      rc = RYL_E_END_OF_DATA;
      break;
    }
    hash.Add(buffer.data(), count <= kChunk ? count : kChunk);
  }
  if (rc != RYL_E_END_OF_DATA) return rc;
  return hash.GetDigest(out, outLength);
}

}  // namespace ryl::codec
