// Everything an entry's central header says, as the archive model keeps it:
// the fixed fields (the 32-bit ones exactly as stored, markers included),
// the texts in UTF-16, the library's 64-bit time beside the DOS pair, the
// kept extra records and the entry's ZIP64 record. The directory reader
// produces these and the record writers consume them.
//
// The texts' stored bytes ride along for an entry read from an archive.
// Decoding is not reversible in general: tools store UTF-8 without bit 11
// (read as OEM), or invalid UTF-8 under it (read loosely), and encoding the
// decoded text again would rename the entry for every other reader. So the
// writers put back the bytes as read, with bit 11 as read, until the name or
// the comment is changed; then both are encoded afresh, since one bit
// covers both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/zip_extra_field.h"
#include "archive/zip_records.h"
#include "ryl/result.h"

namespace ryl::archive {

struct CentralHeaderImage {
  uint16_t versionMadeBy = kVersionMadeByHere;
  uint16_t versionNeeded = kVersionNeededDefault;
  uint16_t flags = 0;
  uint16_t method = kMethodStored;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc32 = 0;
  // The stored fields: kZip64Marker32 when the value is in the ZIP64 record.
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t diskNumberStart = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = kExternalAttributesFile;
  uint32_t localHeaderOffset = 0;

  std::u16string name;
  std::u16string comment;
  struct StoredTexts {
    std::vector<uint8_t> name;
    std::vector<uint8_t> comment;
    bool operator==(const StoredTexts&) const = default;
  };
  // Set by the reader when the stored name needed no normalising; cleared
  // by whatever changes name or comment.
  std::optional<StoredTexts> storedTexts;
  uint64_t time = 0;
  std::vector<ExtraRecord> extras;
  std::optional<Zip64ExtendedInfo> zip64;

  // The values themselves: the ZIP64 value where the field holds the marker
  // and the record has it, the field otherwise.
  [[nodiscard]] uint64_t CompressedSize() const noexcept;
  [[nodiscard]] uint64_t UncompressedSize() const noexcept;
  [[nodiscard]] uint64_t LocalHeaderOffset() const noexcept;

  bool operator==(const CentralHeaderImage&) const = default;
};

// Stores an entry's final sizes. When either reaches 0xFFFFFFFF, or the
// entry's record already carries the sizes (a record reserved before the
// data was written, so that the local header keeps its length), both go into
// the ZIP64 record and both fields become the marker; otherwise the fields
// hold them.
[[nodiscard]] ResultCode PlaceSizes(CentralHeaderImage* image, uint64_t compressedSize,
                                    uint64_t uncompressedSize) noexcept;

// Stores where the entry's local header starts: in the ZIP64 record with the
// marker in the field from 0xFFFFFFFF on, in the field below that (a value
// the record held from an earlier place is dropped, and a record left with
// no value is removed).
[[nodiscard]] ResultCode PlaceLocalHeaderOffset(CentralHeaderImage* image, uint64_t offset) noexcept;

// A header a reader can trust: when the entry has a ZIP64 record, every
// 32-bit field holding the marker has its value in the record and every
// value in the record has the marker in its field. Otherwise a reader would
// take one value for another, since the record's values carry no labels. An
// entry without a record is always consistent: markers there were read that
// way and are written back unchanged.
[[nodiscard]] bool HasConsistentZip64(const CentralHeaderImage& image) noexcept;

}  // namespace ryl::archive
