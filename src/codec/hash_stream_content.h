// Checksums what remains of a stream, from its current position to its end.
#pragma once

#include <cstdint>

#include "codec/hash_algorithm.h"
#include "ryl/streams.h"

namespace ryl::codec {

// Initialises the hash, feeds it everything the source's read operation
// yields until the end of the stream, and writes the digest to out. The
// source is left at its end. A read failure other than the end of the
// stream is returned unchanged and out is not written; outLength below the
// digest size is RYL_E_OUT_OF_RANGE before anything is read. One
// 16384-byte heap buffer per call.
[[nodiscard]] ResultCode HashStreamContent(HashAlgorithm& hash, SeekableStream& source, uint8_t* out,
                                           uint32_t outLength) noexcept;

}  // namespace ryl::codec
