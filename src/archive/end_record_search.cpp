#include "archive/end_record_search.h"

#include <vector>

#include "archive/byte_order.h"
#include "archive/stream_io.h"
#include "archive/zip_extra_field.h"
#include "archive/zip_text.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"

namespace ryl::archive {
namespace {

// Most archives end in a short comment, so the first block is small; later
// blocks double up to the largest, which keeps a long scan to few reads.
constexpr uint32_t kFirstScanBlock = 4 * 1024;
constexpr uint32_t kLargestScanBlock = 1024 * 1024;

// How far before the end the end record's search starts: it is 22 bytes
// long, and its signature can be sought wherever four bytes remain.
constexpr int64_t kEndRecordSearchStart = 18;

}  // namespace

ResultCode ScanBackwardsForSignature(SeekableStream* stream, uint64_t start, uint32_t signature,
                                     std::optional<uint64_t>* outPosition) noexcept {
  if (stream == nullptr || outPosition == nullptr) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    *outPosition = std::nullopt;
    if (start > static_cast<uint64_t>(INT64_MAX) - 4) return RYL_OK;
    std::vector<uint8_t> block;
    uint32_t blockSize = kFirstScanBlock;
    // Bytes [low, high) are read per step; every position p with
    // low <= p <= high - 4 is tested, and the next step overlaps by three
    // bytes so that a signature across the boundary is not missed.
    uint64_t high = start + 4;
    for (;;) {
      const uint64_t low = high > blockSize ? high - blockSize : 0;
      const auto length = static_cast<uint32_t>(high - low);
      block.resize(length);
      // Any read failure at the top of this block is where a four-byte scan
      // would have stopped too: every position above it is already tested.
      if (ReadExactAt(stream, low, block.data(), length) < 0) return RYL_OK;
      for (uint64_t p = high - 4;; --p) {
        if (LoadLe32(block.data() + (p - low)) == signature) {
          *outPosition = p;
          return RYL_OK;
        }
        if (p == low) break;
      }
      if (low == 0) return RYL_OK;
      high = low + 3;
      if (blockSize < kLargestScanBlock) blockSize *= 2;
    }
  });
}

namespace {

// A record whose comment ends exactly where the stream does. The signature
// can also occur inside an archive's comment (an archive stored in the
// comment of another, or plain chance); such a false record's own comment
// length does not reach the end.
bool EndsTheStream(SeekableStream* stream, uint64_t offset, uint64_t streamSize) noexcept {
  EndRecordBytes bytes;
  EndRecord record;
  return ReadExactAt(stream, offset, bytes.data(), kEndRecordSize) >= 0 && DecodeEndRecord(bytes.data(), &record) &&
         offset + kEndRecordSize + record.commentLength == streamSize;
}

}  // namespace

ResultCode FindEndRecord(SeekableStream* stream, EndRecordLocation* out) noexcept {
  if (stream == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  const ResultCode seek = stream->Seek(-kEndRecordSearchStart, RYL_SEEK_END);
  if (seek == RYL_E_INVALID_SEEK) {
    *out = {false, 0};
    return RYL_OK;
  }
  RYL_RETURN_IF_FAILED(seek);
  uint64_t start = 0;
  RYL_RETURN_IF_FAILED(stream->Tell(&start));
  const uint64_t streamSize = start + kEndRecordSearchStart;
  std::optional<uint64_t> last;
  RYL_RETURN_IF_FAILED(ScanBackwardsForSignature(stream, start, kEndRecordSignature, &last));
  if (!last) return RYL_E_END_OF_DATA;
  // The last signature whose record ends the stream wins; only a record
  // within a maximal comment's reach of the end can. When none does (bytes
  // appended after the archive), the last signature stands, as before.
  const uint64_t lowest =
      streamSize > kEndRecordSize + kMaxFieldLength ? streamSize - kEndRecordSize - kMaxFieldLength : 0;
  uint64_t chosen = *last;
  for (std::optional<uint64_t> candidate = last; candidate && *candidate >= lowest;) {
    if (EndsTheStream(stream, *candidate, streamSize)) {
      chosen = *candidate;
      break;
    }
    if (*candidate == 0) break;
    RYL_RETURN_IF_FAILED(ScanBackwardsForSignature(stream, *candidate - 1, kEndRecordSignature, &candidate));
  }
  RYL_RETURN_IF_FAILED(SeekTo(stream, chosen));
  *out = {true, chosen};
  return RYL_OK;
}

ResultCode ReadEndRecord(SeekableStream* stream, uint64_t offset, EndRecord* outRecord,
                         std::u16string* outComment) noexcept {
  if (stream == nullptr || outRecord == nullptr || outComment == nullptr) return RYL_E_INVALID_ARG;
  EndRecordBytes bytes;
  RYL_RETURN_IF_FAILED(ReadExactAt(stream, offset, bytes.data(), kEndRecordSize));
  EndRecord record;
  if (!DecodeEndRecord(bytes.data(), &record)) return RYL_E_END_OF_DATA;
  return core::GuardEntry([&]() -> ResultCode {
    std::vector<uint8_t> raw(record.commentLength);
    RYL_RETURN_IF_FAILED(ReadExact(stream, raw.data(), record.commentLength));
    std::u16string comment;
    RYL_RETURN_IF_FAILED(DecodeArchiveComment(raw.data(), record.commentLength, &comment));
    *outRecord = record;
    *outComment = std::move(comment);
    return RYL_OK;
  });
}

std::optional<Zip64Location> FindZip64EndRecord(SeekableStream* stream, uint64_t endRecordOffset) noexcept {
  if (stream == nullptr || endRecordOffset < kZip64LocatorSize) return std::nullopt;
  Zip64Location location;
  location.locatorOffset = endRecordOffset - kZip64LocatorSize;
  Zip64LocatorBytes locatorBytes;
  if (ReadExactAt(stream, location.locatorOffset, locatorBytes.data(), kZip64LocatorSize) < 0) return std::nullopt;
  if (!DecodeZip64Locator(locatorBytes.data(), &location.locator)) return std::nullopt;
  std::optional<uint64_t> found;
  if (ScanBackwardsForSignature(stream, location.locator.zip64RecordOffset, kZip64EndRecordSignature, &found) < 0 ||
      !found) {
    return std::nullopt;
  }
  Zip64EndRecordBytes recordBytes;
  if (ReadExactAt(stream, *found, recordBytes.data(), kZip64EndRecordSize) < 0) return std::nullopt;
  if (!DecodeZip64EndRecord(recordBytes.data(), &location.record)) return std::nullopt;
  location.recordOffset = *found;
  return location;
}

}  // namespace ryl::archive
