// liblzma as the reference for the LZMA and xz streams: the .lzma decoder
// for ZIP's LZMA (its own header reader and end-marker rules, rather than
// the raw decoder the library sets up) and the .xz stream decoder.
#include <lzma.h>

#include <algorithm>

#include "reference_decoders.h"

namespace ryl::fuzz {
namespace {

constexpr size_t kChunk = 65536;
constexpr size_t kZipHeaderSize = 9;   // version (2), properties length (2), properties (5)
constexpr size_t kAloneHeaderSize = 13;  // properties byte, dictionary (4), size (8)
constexpr uint32_t kSmallestDictionary = 4096;

// Input goes in up to the next multiple of pieceSize (counted from
// offset) at a time. endsAtSize: for ZIP's LZMA decoded up to its size, that
// size; a refusal once all of it is out is the library's end of the data
// (liblzma 5.4 may refuse an unannounced end marker there when its input
// comes in pieces).
ReferenceResult Run(lzma_stream* lz, const uint8_t* data, size_t size, size_t offset, size_t pieceSize, size_t limit,
                    bool* memoryRefused, uint64_t endsAtSize = UINT64_MAX) {
  ReferenceResult result;
  size_t given = 0;
  lz->next_in = data;
  lz->avail_in = 0;
  for (;;) {
    if (lz->avail_in == 0 && given < size) {
      const size_t piece = std::min(size - given, pieceSize - (offset + given) % pieceSize);
      lz->next_in = data + given;
      lz->avail_in = piece;
      given += piece;
    }
    const size_t old = result.output.size();
    result.output.resize(old + kChunk);
    lz->next_out = result.output.data() + old;
    lz->avail_out = kChunk;
    const lzma_ret rc = lzma_code(lz, LZMA_RUN);
    const size_t produced = kChunk - lz->avail_out;
    result.output.resize(old + produced);
    if (rc == LZMA_STREAM_END) {
      result.end = ReferenceEnd::kComplete;
      result.trailing = lz->avail_in + (size - given);
      break;
    }
    if (rc == LZMA_MEMLIMIT_ERROR) *memoryRefused = true;
    if (rc == LZMA_DATA_ERROR && lz->total_out == endsAtSize) {
      result.end = ReferenceEnd::kComplete;
      break;
    }
    if (rc != LZMA_OK && rc != LZMA_BUF_ERROR) {
      result.end = ReferenceEnd::kCorrupt;
      break;
    }
    if (result.output.size() > limit) {
      result.end = ReferenceEnd::kLimited;
      break;
    }
    // Everything taken and nothing more to give: the input ran out.
    if (given == size && (rc == LZMA_BUF_ERROR || (lz->avail_in == 0 && produced == 0))) {
      result.end = ReferenceEnd::kTruncated;
      break;
    }
  }
  lzma_end(lz);
  return result;
}

}  // namespace

ReferenceResult DecompressZipLzma(const uint8_t* data, size_t size, uint64_t uncompressedSize, bool endMarker,
                                  uint64_t memoryLimit, size_t pieceSize, size_t limit, bool* memoryRefused) {
  *memoryRefused = false;
  ReferenceResult result;
  if (size < kZipHeaderSize) {
    result.end = ReferenceEnd::kTruncated;
    return result;
  }
  if (data[2] != 5 || data[3] != 0) return result;  // corrupt: LZMA has 5 property bytes
  uint8_t header[kAloneHeaderSize];
  header[0] = data[4];
  uint32_t dictionary = data[5] | uint32_t{data[6]} << 8 | uint32_t{data[7]} << 16 | uint32_t{data[8]} << 24;
  if (uncompressedSize != UINT64_MAX) {
    dictionary = static_cast<uint32_t>(
        std::min<uint64_t>(dictionary, std::max<uint64_t>(uncompressedSize, kSmallestDictionary)));
  }
  const uint64_t decodeTo = endMarker ? UINT64_MAX : uncompressedSize;
  for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(dictionary >> (8 * i));
  for (int i = 0; i < 8; ++i) header[5 + i] = static_cast<uint8_t>(decodeTo >> (8 * i));
  lzma_stream lz = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&lz, memoryLimit) != LZMA_OK) return result;
  // The .lzma header alone first: it ends where the ZIP header does.
  std::vector<uint8_t> scratch(64);
  lz.next_in = header;
  lz.avail_in = sizeof header;
  lz.next_out = scratch.data();
  lz.avail_out = scratch.size();
  const lzma_ret rc = lzma_code(&lz, LZMA_RUN);
  if (rc != LZMA_OK || lz.avail_in != 0 || lz.avail_out != scratch.size()) {
    if (rc == LZMA_MEMLIMIT_ERROR) *memoryRefused = true;
    lzma_end(&lz);
    return result;
  }
  return Run(&lz, data + kZipHeaderSize, size - kZipHeaderSize, kZipHeaderSize, pieceSize, limit, memoryRefused,
             decodeTo);
}

ReferenceResult DecompressXz(const uint8_t* data, size_t size, uint64_t memoryLimit, size_t limit,
                             bool* memoryRefused) {
  *memoryRefused = false;
  lzma_stream lz = LZMA_STREAM_INIT;
  if (lzma_stream_decoder(&lz, memoryLimit, 0) != LZMA_OK) return ReferenceResult{};
  return Run(&lz, data, size, 0, size == 0 ? 1 : size, limit, memoryRefused);
}

}  // namespace ryl::fuzz
