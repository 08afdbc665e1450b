// What zlib, libbz2, liblzma and libzstd, driven directly over the whole
// input, make of the same bytes the library's codec streams decode: the
// expected output and how the compressed data ended.
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
  // fast output loop returns on corrupt data without storing its counts;
  // libzstd decodes a whole frame it has room for in one pass, and hands
  // out nothing of it when a later block or the checksum is wrong.
  bool completeBeforeCorruption = true;
};

// Each stops once the output passes limit bytes.
ReferenceResult InflateRaw(const uint8_t* data, size_t size, size_t limit);
ReferenceResult DecompressBzip2(const uint8_t* data, size_t size, size_t limit);

// ZIP's LZMA (4-byte header, 5 property bytes, raw data) decoded by
// liblzma's .lzma decoder, with the header rewritten into that format's
// layout. uncompressedSize is UINT64_MAX when unknown; with endMarker (the
// entry's flag) the data is decoded up to its marker whatever the size. The
// dictionary is cut down to the size when that is known (no distance of
// valid data reaches further back), and decoders needing more than
// memoryLimit are refused, which sets memoryRefused. The data goes in as a
// reader with a buffer of pieceSize bytes hands it over: liblzma 5.4 refuses
// a known size followed by an end marker when the data comes in pieces, and
// the reference has to see what the library's decoder sees.
ReferenceResult DecompressZipLzma(const uint8_t* data, size_t size, uint64_t uncompressedSize, bool endMarker,
                                  uint64_t memoryLimit, size_t pieceSize, size_t limit, bool* memoryRefused);
// One .xz stream, through liblzma's stream decoder.
ReferenceResult DecompressXz(const uint8_t* data, size_t size, uint64_t memoryLimit, size_t limit,
                             bool* memoryRefused);
// zstd frames back to back (skippable ones too) through ZSTD_decompressStream,
// with outputStep bytes of room per call; complete when the input ends at a
// frame's end. Windows past 2^windowLogMax bytes are refused and set
// memoryRefused. libzstd decodes a whole frame that is in its input in one
// pass when it has room for all of it, and checks the frame's declared size
// more strictly on that path than when it decodes block by block into
// little room: the two may judge the same frame differently.
ReferenceResult DecompressZstd(const uint8_t* data, size_t size, int windowLogMax, size_t outputStep, size_t limit,
                               bool* memoryRefused);

}  // namespace ryl::fuzz
