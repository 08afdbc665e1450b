// Reproducible test data and reference codecs for the codec tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ryl::test {

using Bytes = std::vector<uint8_t>;

// Runs of words and line ends alternating with runs of random bytes, the
// same for the same size and seed.
Bytes MakeMixedData(size_t size, uint32_t seed);

// Random bytes, the same for the same size and seed.
Bytes MakeRandomData(size_t size, uint32_t seed);

Bytes ToBytes(const std::string& text);

// Reference results straight from zlib and libbz2.
Bytes ZlibRawDeflate(const Bytes& data, int level);
// Empty with ok false when the data is not one complete raw deflate stream.
Bytes ZlibRawInflate(const Bytes& data, bool* ok);
Bytes Bz2Compress(const Bytes& data, int blockSize);
Bytes Bz2Decompress(const Bytes& data, bool* ok);

}  // namespace ryl::test
