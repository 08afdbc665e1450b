#include "test_data.h"

#include <bzlib.h>
#include <zlib.h>

#include <random>

namespace ryl::test {

Bytes MakeRandomData(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes data(size);
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    const uint32_t word = rng();
    data[i] = static_cast<uint8_t>(word);
    data[i + 1] = static_cast<uint8_t>(word >> 8);
    data[i + 2] = static_cast<uint8_t>(word >> 16);
    data[i + 3] = static_cast<uint8_t>(word >> 24);
  }
  for (; i < size; ++i) data[i] = static_cast<uint8_t>(rng());
  return data;
}

Bytes MakeMixedData(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"archive", "stream", "deflate", "the", "of", "block", "window", "entry",
                                       "header", "central", "directory", "checksum", "a", "data", "compressed",
                                       "bytes", "to", "and", "is", "zip"};
  std::mt19937 rng(seed);
  Bytes data;
  data.reserve(size);
  bool text = true;
  while (data.size() < size) {
    const size_t run = text ? 200 + rng() % 4000 : 50 + rng() % 2000;
    const size_t end = std::min(size, data.size() + run);
    if (text) {
      while (data.size() < end) {
        const char* word = kWords[rng() % 20];
        while (*word != 0 && data.size() < end) data.push_back(static_cast<uint8_t>(*word++));
        if (data.size() < end) data.push_back(rng() % 12 == 0 ? '\n' : ' ');
      }
    } else {
      while (data.size() < end) data.push_back(static_cast<uint8_t>(rng()));
    }
    text = !text;
  }
  return data;
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes ZlibRawDeflate(const Bytes& data, int level) {
  z_stream z = {};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(rc == Z_STREAM_END ? z.total_out : 0);
  deflateEnd(&z);
  return out;
}

Bytes ZlibRawInflate(const Bytes& data, bool* ok) {
  *ok = false;
  z_stream z = {};
  if (inflateInit2(&z, -15) != Z_OK) return {};
  Bytes out;
  uint8_t chunk[65536];
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  *ok = rc == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return *ok ? out : Bytes{};
}

Bytes Bz2Compress(const Bytes& data, int blockSize) {
  unsigned int length = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
  Bytes out(length);
  // libbz2 refuses a null source even when its length is 0.
  static char none = 0;
  char* source = data.empty() ? &none : const_cast<char*>(reinterpret_cast<const char*>(data.data()));
  const int rc = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &length, source,
                                          static_cast<unsigned int>(data.size()), blockSize, 0, 0);
  out.resize(rc == BZ_OK ? length : 0);
  return out;
}

Bytes Bz2Decompress(const Bytes& data, bool* ok) {
  *ok = false;
  bz_stream bz = {};
  if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) return {};
  Bytes out;
  char chunk[65536];
  bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(data.data()));
  bz.avail_in = static_cast<unsigned int>(data.size());
  int rc = BZ_OK;
  while (rc == BZ_OK) {
    bz.next_out = chunk;
    bz.avail_out = sizeof chunk;
    rc = BZ2_bzDecompress(&bz);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - bz.avail_out));
    if (rc == BZ_OK && bz.avail_in == 0 && bz.avail_out != 0) break;
  }
  *ok = rc == BZ_STREAM_END && bz.avail_in == 0;
  BZ2_bzDecompressEnd(&bz);
  return *ok ? out : Bytes{};
}

}  // namespace ryl::test
