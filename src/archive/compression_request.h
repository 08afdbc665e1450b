// The two-word compression request of the add operations, turned into the
// method and level an entry is written with.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "ryl/zip.h"

namespace ryl::archive {

inline constexpr int32_t kSelectorDeflate = 2;
inline constexpr int32_t kSelectorBzip2 = 3;
inline constexpr int32_t kSelectorZstd = 93;

struct EntryCompression {
  uint16_t method = 0;
  int32_t level = 0;
};

// Deflate takes the level as given (-1 is the codec's default), bzip2 the
// level divided by 100 (900 is block size 9), zstd 1 to 22 as given (a
// negative level is its default, 3, and one above 22 is 22), anything else
// is stored; a resulting level of 0 stores the entry. A null request is
// RYL_E_INVALID_ARG.
[[nodiscard]] ResultCode ResolveCompression(const RylZipCompression* request, EntryCompression* out) noexcept;

}  // namespace ryl::archive
