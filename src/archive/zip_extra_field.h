// The extra field of the local and central headers: a run of (id, size,
// data) records. The library keeps every record except the ZIP64 one as an
// opaque triple and writes them back unchanged, in file order; the ZIP64
// extended-information record it decodes and rebuilds itself.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ryl/result.h"

namespace ryl::archive {

inline constexpr uint16_t kZip64ExtraId = 0x0001;
inline constexpr uint32_t kExtraRecordHeaderSize = 4;
inline constexpr uint32_t kMaxFieldLength = 0xFFFF;  // what a 16-bit length field can count

struct ExtraRecord {
  uint16_t id = 0;
  std::vector<uint8_t> data;  // its length is the record's size field

  bool operator==(const ExtraRecord&) const = default;
};

// The three 64-bit values an entry may carry in its ZIP64 record, each
// present or not. In the record they appear in this order, 8 bytes each,
// only the present ones.
struct Zip64ExtendedInfo {
  std::optional<uint64_t> uncompressedSize;
  std::optional<uint64_t> compressedSize;
  std::optional<uint64_t> localHeaderOffset;

  [[nodiscard]] uint16_t DataSize() const noexcept {
    return static_cast<uint16_t>(8 * (uncompressedSize.has_value() + compressedSize.has_value() +
                                      localHeaderOffset.has_value()));
  }
  bool operator==(const Zip64ExtendedInfo&) const = default;
};

// Which fields of a header hold the ZIP64 marker, and so which values its
// ZIP64 record must supply.
struct Zip64Needs {
  bool uncompressedSize = false;
  bool compressedSize = false;
  bool localHeaderOffset = false;
};

// Where the first ZIP64 record's data lies inside a split extra field.
struct Zip64Span {
  bool present = false;
  uint32_t offset = 0;  // of the data, from the start of the extra field
  uint16_t size = 0;
};

// Splits an extra field into records while a whole 4-byte header remains and
// its data fits in what is left; a record that would pass the end stops the
// split and whatever follows is dropped. The first ZIP64 record is reported in
// *zip64 rather than kept; any later one is dropped, so that a rewritten
// header never carries two. Only allocation can fail.
[[nodiscard]] ResultCode SplitExtraField(const uint8_t* data, uint32_t length, std::vector<ExtraRecord>* outRecords,
                                         Zip64Span* outZip64) noexcept;

// Reads the values needs asks for, in the record's order, and nothing else.
// RYL_E_BAD_FORMAT when the data is too short for them; *out untouched then.
[[nodiscard]] ResultCode DecodeZip64ExtendedInfo(const uint8_t* data, uint16_t size, Zip64Needs needs,
                                                 Zip64ExtendedInfo* out) noexcept;

// The extra field as written: the kept records in order, then the ZIP64
// record when zip64 is given. RYL_E_VALUE_TOO_LARGE when a record's data or
// the whole field would not fit a 16-bit length.
[[nodiscard]] ResultCode EncodeExtraField(const std::vector<ExtraRecord>& records, const Zip64ExtendedInfo* zip64,
                                          std::vector<uint8_t>* out) noexcept;

}  // namespace ryl::archive
