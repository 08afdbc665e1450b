#include "reference_decoders.h"

#include <bzlib.h>
#include <zlib.h>

namespace ryl::fuzz {
namespace {

constexpr size_t kChunk = 65536;

}  // namespace

ReferenceResult InflateRaw(const uint8_t* data, size_t size, size_t limit) {
  ReferenceResult result;
  z_stream z = {};
  if (inflateInit2(&z, -15) != Z_OK) return result;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  for (;;) {
    const size_t old = result.output.size();
    result.output.resize(old + kChunk);
    z.next_out = result.output.data() + old;
    z.avail_out = kChunk;
    const int rc = inflate(&z, Z_NO_FLUSH);
    result.output.resize(old + (kChunk - z.avail_out));
    if (rc == Z_STREAM_END) {
      result.end = ReferenceEnd::kComplete;
      result.trailing = z.avail_in;
      break;
    }
    if (rc == Z_OK) {
      if (result.output.size() <= limit) continue;
      result.end = ReferenceEnd::kLimited;
      break;
    }
    // Z_BUF_ERROR: no progress was possible, so the input has run out.
    result.end = rc == Z_BUF_ERROR ? ReferenceEnd::kTruncated : ReferenceEnd::kCorrupt;
    break;
  }
  inflateEnd(&z);
  return result;
}

ReferenceResult DecompressBzip2(const uint8_t* data, size_t size, size_t limit) {
  ReferenceResult result;
  result.completeBeforeCorruption = false;
  bz_stream bz = {};
  if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) return result;
  bz.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
  bz.avail_in = static_cast<unsigned>(size);
  for (;;) {
    const size_t old = result.output.size();
    result.output.resize(old + kChunk);
    bz.next_out = reinterpret_cast<char*>(result.output.data() + old);
    bz.avail_out = kChunk;
    const int rc = BZ2_bzDecompress(&bz);
    const size_t produced = kChunk - bz.avail_out;
    result.output.resize(old + produced);
    if (rc == BZ_STREAM_END) {
      result.end = ReferenceEnd::kComplete;
      result.trailing = bz.avail_in;
      break;
    }
    if (rc != BZ_OK) {
      result.end = ReferenceEnd::kCorrupt;
      break;
    }
    // BZ_OK with every byte taken and nothing produced: the input ran out.
    if (bz.avail_in == 0 && produced == 0) {
      result.end = ReferenceEnd::kTruncated;
      break;
    }
    if (result.output.size() > limit) {
      result.end = ReferenceEnd::kLimited;
      break;
    }
  }
  BZ2_bzDecompressEnd(&bz);
  return result;
}

}  // namespace ryl::fuzz
