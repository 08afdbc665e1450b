// The data the codec benchmarks compress and encrypt: runs of words
// alternating with runs of random bytes, so that compressors meet both
// easy text and matches they cannot find. Deterministic for a seed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace ryl::bench {

inline std::vector<uint8_t> MakeMixedData(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"archive", "stream", "deflate", "the", "of", "block", "window", "entry",
                                       "header", "central", "directory", "checksum", "a", "data"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> data;
  data.reserve(size);
  bool text = true;
  while (data.size() < size) {
    const size_t end = std::min(size, data.size() + (text ? 200 + rng() % 4000 : 50 + rng() % 2000));
    while (data.size() < end) {
      if (text) {
        for (const char* w = kWords[rng() % 14]; *w != 0 && data.size() < end; ++w) data.push_back(*w);
        if (data.size() < end) data.push_back(' ');
      } else {
        data.push_back(static_cast<uint8_t>(rng()));
      }
    }
    text = !text;
  }
  return data;
}

}  // namespace ryl::bench
