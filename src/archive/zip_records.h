// The fixed-size parts of the ZIP records (PKWARE APPNOTE), their signatures
// and the field values the library gives meaning to. Everything here is pure
// byte layout: the variable parts (names, extra fields, comments) and the
// streams are the business of the readers and writers built on it.
#pragma once

#include <array>
#include <cstdint>

namespace ryl::archive {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr uint32_t kEndRecordSignature = 0x06054B50;
inline constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

inline constexpr uint32_t kLocalHeaderSize = 30;
inline constexpr uint32_t kDataDescriptorSize = 16;
inline constexpr uint32_t kCentralHeaderSize = 46;
inline constexpr uint32_t kEndRecordSize = 22;
inline constexpr uint32_t kZip64EndRecordSize = 56;
inline constexpr uint32_t kZip64LocatorSize = 20;
// What the ZIP64 end record's size field counts: the record minus its
// signature and the size field itself.
inline constexpr uint64_t kZip64EndRecordRestSize = kZip64EndRecordSize - 12;

// General-purpose flag bits.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagLzmaEndMarker = 0x0002;  // LZMA entries only
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagUtf8 = 0x0800;

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflate = 8;
inline constexpr uint16_t kMethodBzip2 = 12;
inline constexpr uint16_t kMethodLzma = 14;
inline constexpr uint16_t kMethodZstd = 93;
inline constexpr uint16_t kMethodXz = 95;

inline constexpr uint16_t kVersionMadeByHere = 20;  // host byte 0: MS-DOS and compatibles
inline constexpr uint16_t kVersionNeededDefault = 10;
inline constexpr uint16_t kVersionNeededDeflate = 20;
inline constexpr uint16_t kVersionNeededZip64 = 45;
// What writers put for LZMA, zstd and xz entries, and the highest version
// the reader looks past for a method it decodes.
inline constexpr uint16_t kVersionNeededModernMethods = 63;

// The only two external-attribute values the library produces: the DOS
// directory bit, or the DOS archive bit for everything else.
inline constexpr uint32_t kExternalAttributesDirectory = 0x10;
inline constexpr uint32_t kExternalAttributesFile = 0x20;

// A 32-bit (or 16-bit) field holding all ones says "look in the ZIP64 record".
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Marker16 = 0xFFFF;

// Entries the reader can deliver: everything up to 2.0, and the ZIP64
// versions 4.5 and 4.6, whose records it understands (4.6 is what bzip2
// writers put there). The version is the low byte: some writers copy their
// host system into the high byte, as in "version made by" (0x0314 is 2.0
// from Unix), and such plain entries are no harder to read.
[[nodiscard]] constexpr bool IsExtractVersionSupported(uint16_t versionNeeded) noexcept {
  const uint16_t version = versionNeeded & 0xFF;
  return version <= 20 || version == 45 || version == 46;
}

struct LocalHeaderFields {
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;

  bool operator==(const LocalHeaderFields&) const = default;
};

struct DataDescriptor {
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;

  bool operator==(const DataDescriptor&) const = default;
};

struct CentralHeaderFields {
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
  uint16_t commentLength = 0;
  uint16_t diskNumberStart = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;

  bool operator==(const CentralHeaderFields&) const = default;
};

struct EndRecord {
  uint16_t diskNumber = 0;
  uint16_t directoryDisk = 0;
  uint16_t entriesOnDisk = 0;
  uint16_t totalEntries = 0;
  uint32_t directorySize = 0;
  uint32_t directoryOffset = 0;
  uint16_t commentLength = 0;

  bool operator==(const EndRecord&) const = default;
};

struct Zip64EndRecord {
  uint64_t recordSize = kZip64EndRecordRestSize;
  uint16_t versionMadeBy = kVersionNeededZip64;
  uint16_t versionNeeded = kVersionNeededZip64;
  uint32_t diskNumber = 0;
  uint32_t directoryDisk = 0;
  uint64_t entriesOnDisk = 0;
  uint64_t totalEntries = 0;
  uint64_t directorySize = 0;
  uint64_t directoryOffset = 0;

  bool operator==(const Zip64EndRecord&) const = default;
};

struct Zip64Locator {
  uint32_t zip64RecordDisk = 0;
  uint64_t zip64RecordOffset = 0;
  uint32_t totalDisks = 1;

  bool operator==(const Zip64Locator&) const = default;
};

using LocalHeaderBytes = std::array<uint8_t, kLocalHeaderSize>;
using DataDescriptorBytes = std::array<uint8_t, kDataDescriptorSize>;
using CentralHeaderBytes = std::array<uint8_t, kCentralHeaderSize>;
using EndRecordBytes = std::array<uint8_t, kEndRecordSize>;
using Zip64EndRecordBytes = std::array<uint8_t, kZip64EndRecordSize>;
using Zip64LocatorBytes = std::array<uint8_t, kZip64LocatorSize>;

// Each decoder reads exactly the record's fixed size from bytes and answers
// false, leaving *out untouched, when the signature is not the record's.
[[nodiscard]] bool DecodeLocalHeader(const uint8_t* bytes, LocalHeaderFields* out) noexcept;
[[nodiscard]] bool DecodeDataDescriptor(const uint8_t* bytes, DataDescriptor* out) noexcept;
[[nodiscard]] bool DecodeCentralHeader(const uint8_t* bytes, CentralHeaderFields* out) noexcept;
[[nodiscard]] bool DecodeEndRecord(const uint8_t* bytes, EndRecord* out) noexcept;
// Only the fixed fields; extensible data after them is not looked at.
[[nodiscard]] bool DecodeZip64EndRecord(const uint8_t* bytes, Zip64EndRecord* out) noexcept;
[[nodiscard]] bool DecodeZip64Locator(const uint8_t* bytes, Zip64Locator* out) noexcept;

// Signature first, then the fields as given.
[[nodiscard]] LocalHeaderBytes EncodeLocalHeader(const LocalHeaderFields& fields) noexcept;
[[nodiscard]] DataDescriptorBytes EncodeDataDescriptor(const DataDescriptor& fields) noexcept;
[[nodiscard]] CentralHeaderBytes EncodeCentralHeader(const CentralHeaderFields& fields) noexcept;
[[nodiscard]] EndRecordBytes EncodeEndRecord(const EndRecord& fields) noexcept;
[[nodiscard]] Zip64EndRecordBytes EncodeZip64EndRecord(const Zip64EndRecord& fields) noexcept;
[[nodiscard]] Zip64LocatorBytes EncodeZip64Locator(const Zip64Locator& fields) noexcept;

}  // namespace ryl::archive
