// What zlib and libbz2, driven directly over the whole input, make of the
// same bytes the library's codec streams decode: the expected output and how
// the compressed data ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ryl::fuzz {

enum class ReferenceEnd {
  kComplete,   // the end marker was reached
  kTruncated,  // the input ran out before the end marker
  kCorrupt,    // the decoder refused the data
  kLimited,    // the output reached the limit first
};

struct ReferenceResult {
  ReferenceEnd end = ReferenceEnd::kCorrupt;
  std::vector<uint8_t> output;
  size_t trailing = 0;  // input bytes left after the end marker
  // Whether output holds everything decoded before corrupt data. libbz2's
  // fast output loop returns on corrupt data without storing its counts.
  bool completeBeforeCorruption = true;
};

// Both stop once the output passes limit bytes.
ReferenceResult InflateRaw(const uint8_t* data, size_t size, size_t limit);
ReferenceResult DecompressBzip2(const uint8_t* data, size_t size, size_t limit);

}  // namespace ryl::fuzz
