// Reading an entry's local header to learn where its data starts. The
// central header stays authoritative: what the local header says about CRC,
// sizes and flags is reported but never acted on here.
#pragma once

#include <cstdint>

#include "archive/zip_extra_field.h"
#include "archive/zip_records.h"
#include "ryl/streams.h"

namespace ryl::archive {

struct LocalHeaderInfo {
  LocalHeaderFields fields;
  // Set when the local header's ZIP64 record supplies the sizes its fields
  // mark; informational only.
  Zip64ExtendedInfo zip64;
  uint64_t dataOffset = 0;
};

// Seeks to offset and reads the 30 fixed bytes, the name and the extra field
// (whose records are split and dropped). A wrong signature puts the stream
// back at offset and gives RYL_E_END_OF_DATA, as does a header the stream
// does not hold whole. On success the stream is at the entry's data.
[[nodiscard]] ResultCode ReadLocalHeader(SeekableStream* stream, uint64_t offset, LocalHeaderInfo* out) noexcept;

}  // namespace ryl::archive
