// Finding the directory from the end of an archive. The end record is the
// last end-record signature at or before 18 bytes from the end of the
// stream whose record, comment included, ends exactly at the stream's end;
// the signature's bytes inside an archive comment therefore do not hide the
// real record before them. When no record within a maximal comment's reach
// ends the stream (bytes appended after an archive), the last signature
// found stands, however far back it is. The scan reads in blocks that grow
// as it goes, so a stream without the signature is read once, in a few
// hundred reads per gigabyte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/zip_records.h"
#include "ryl/streams.h"

namespace ryl::archive {

// The result of a backwards scan: the highest position p <= start whose four
// bytes [p, p + 4) hold signature. A scan whose next four bytes cannot be
// read (start too close to or past the end, a failing stream) ends without a
// result, as does reaching the start of the stream. Only allocation fails.
[[nodiscard]] ResultCode ScanBackwardsForSignature(SeekableStream* stream, uint64_t start, uint32_t signature,
                                                   std::optional<uint64_t>* outPosition) noexcept;

struct EndRecordLocation {
  bool present = false;  // false: the stream is shorter than 18 bytes, an empty archive
  uint64_t offset = 0;
};

// Seeks to 18 bytes before the end; a stream too short for that is an empty
// archive (present false, success). Otherwise scans for the end record and
// leaves the stream at its start. No signature: RYL_E_END_OF_DATA.
[[nodiscard]] ResultCode FindEndRecord(SeekableStream* stream, EndRecordLocation* out) noexcept;

// The end record at offset and its comment, decoded from the OEM code page.
// A record or comment that the stream does not hold whole gives
// RYL_E_END_OF_DATA. Outputs untouched on failure.
[[nodiscard]] ResultCode ReadEndRecord(SeekableStream* stream, uint64_t offset, EndRecord* outRecord,
                                       std::u16string* outComment) noexcept;

struct Zip64Location {
  uint64_t locatorOffset = 0;
  Zip64Locator locator;
  uint64_t recordOffset = 0;
  Zip64EndRecord record;
};

// Follows the locator 20 bytes before the end record to the ZIP64 end
// record, scanning backwards from the offset the locator gives. Nothing here
// can fail the opening of an archive: any mismatch, unreadable byte or
// absurd offset gives an empty result and the classic values stand.
[[nodiscard]] std::optional<Zip64Location> FindZip64EndRecord(SeekableStream* stream,
                                                              uint64_t endRecordOffset) noexcept;

}  // namespace ryl::archive
