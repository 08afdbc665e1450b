// Loading an archive's directory: the end record, the ZIP64 records when the
// archive has them, and every central header from the directory offset on,
// read one after another until one cannot be read. The entry count of the
// end record does not bound the walk, so archives whose counts overflowed
// (or lie) still list every header that is there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/central_header_image.h"
#include "archive/end_record_search.h"
#include "archive/stream_io.h"
#include "ryl/streams.h"

namespace ryl::archive {

enum class CentralHeaderResult : uint8_t {
  kEntry,           // *out holds the entry
  kSkipped,         // a whole header whose name or comment cannot be decoded, or whose name is invalid
  kNotAHeader,      // the signature is not a central header's: the directory's normal end
  kUnreadable,      // the stream ended or failed inside the header
  kBadDate,         // the DOS date and time name no real moment
  kBadZip64Record,  // the ZIP64 record lacks a value that a field's marker calls for
};

// Reads the central header at the reader's position. On kEntry and kSkipped
// the reader has moved past the header; on every other result it is back at
// the header's start. For an entry: name and comment are decoded (UTF-8
// under flag bit 11, OEM otherwise), the name is normalised and the external
// attributes replaced by the value it implies, the DOS pair is converted to
// the library's time, the extra field is split (kept records in order, the
// ZIP64 record decoded for exactly the fields that hold the marker). Only
// allocation fails the call itself.
[[nodiscard]] ResultCode ReadCentralHeader(BufferedStreamReader* reader, CentralHeaderImage* out,
                                           CentralHeaderResult* result) noexcept;

// A whole header left out of the list (CentralHeaderResult::kSkipped), as
// its raw bytes: a save carries it, and its local record, through unchanged.
struct RawCentralHeader {
  std::vector<uint8_t> record;
  uint64_t newLocalHeaderOffset = 0;  // set by the writer

  // The local header offset as the 32-bit field stores it.
  [[nodiscard]] uint32_t StoredLocalHeaderOffset() const noexcept;
};

struct ZipDirectory {
  // False when the stream is shorter than 18 bytes: an empty archive.
  bool hasEndRecord = false;
  uint64_t endRecordOffset = 0;
  EndRecord endRecord;
  std::u16string comment;
  // Set when the archive is ZIP64: a locator led to a ZIP64 end record.
  std::optional<Zip64Location> zip64;
  // From the ZIP64 end record when there is one, else from the end record;
  // the offset moved by prefixLength.
  uint64_t directoryOffset = 0;
  // Bytes in front of the archive (a self-extractor's program, a stub) that
  // its stored offsets do not count: the directory was found prefixLength
  // bytes after the offset the end record gives, where the end record's own
  // position and the directory's size put it. Every stored local header
  // offset is short by as much.
  uint64_t prefixLength = 0;
  uint64_t directorySize = 0;
  uint64_t totalEntries = 0;
  std::vector<CentralHeaderImage> entries;
  // Headers read whole but left out (CentralHeaderResult::kSkipped).
  uint32_t skippedEntries = 0;
  std::vector<RawCentralHeader> skipped;
  // Why the walk ended, and the offset of the header it ended at: anything
  // but kNotAHeader means the directory was cut short and later headers, if
  // any, are not listed.
  CentralHeaderResult stop = CentralHeaderResult::kNotAHeader;
  uint64_t stopOffset = 0;
};

// Loads the directory of stream. When no central header starts at the
// stated directory offset but one starts where the directory must lie (its
// size before the end record), the archive has data in front: the walk
// starts there and prefixLength says by how much. Fails only when the end record is missing
// or cannot be read whole (RYL_E_END_OF_DATA), when the stream fails while
// the end record is sought, or when memory runs out; whatever goes wrong in
// the ZIP64 records or the central headers only shortens the list. The
// stream is left at stopOffset (unmoved for an empty archive). *out untouched
// on failure.
[[nodiscard]] ResultCode ReadZipDirectory(SeekableStream* stream, ZipDirectory* out) noexcept;

}  // namespace ryl::archive
