// What the format tests share: streams over byte strings, a hand-built
// archive, the fixture archives made by other ZIP tools and the manifest
// that says what they hold.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "archive/central_directory.h"
#include "core/object_ptr.h"
#include "streams/memory_stream.h"

namespace ryl::archive::test {

using Bytes = std::string;

core::ObjectPtr<streams::MemoryStream> StreamOver(const Bytes& bytes);
Bytes ContentsOf(streams::MemoryStream* stream);

// Little-endian pieces for building records by hand.
Bytes Le16(uint16_t value);
Bytes Le32(uint32_t value);
Bytes Le64(uint64_t value);

// A central header with the given variable parts; the fixed fields are those
// of a plain stored file, the date 2000-01-01 12:00:00.
struct RawCentral {
  uint16_t flags = 0;
  uint32_t compressedSize = 5;
  uint32_t uncompressedSize = 5;
  uint32_t localHeaderOffset = 0;
  uint16_t dosDate = (20 << 9) | (1 << 5) | 1;
  uint16_t dosTime = 12 << 11;
  Bytes name = "a.txt";
  Bytes extra;
  Bytes comment;
  // Length fields that lie, when set.
  int nameLengthOverride = -1;
  int extraLengthOverride = -1;
  int commentLengthOverride = -1;
};
Bytes CentralBytes(const RawCentral& header);
Bytes EndRecordBytes(uint16_t entries, uint32_t directorySize, uint32_t directoryOffset, const Bytes& comment = "");

// An archive of body (whatever precedes the directory), the central headers
// and an end record that describes them.
Bytes ArchiveOf(const Bytes& body, const std::vector<Bytes>& centrals, const Bytes& comment = "");

// Loads the directory of bytes; fails the test on a failing code.
ZipDirectory DirectoryOf(const Bytes& bytes);

std::u16string Utf16(const std::string& utf8);
std::string Utf8(const std::u16string& text);
uint32_t Crc32(const Bytes& data);

// The fixture directory as a Windows path (through Z:) and its files.
std::u16string FixturePath(const std::string& file);
std::u16string OutputPath(const std::string& file);
// Loads a fixture into memory; empty (and a test failure) when missing.
Bytes ReadFixture(const std::string& file);

struct ManifestEntry {
  uint32_t index = 0;
  std::u16string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t offset = 0;
  uint16_t dosDate = 0;
  uint16_t dosTime = 0;
  uint64_t time = 0;
  std::u16string comment;
  uint16_t versionNeeded = 0;
  uint16_t versionMadeBy = 0;
  std::string extras;  // "id:size,..." or "-"
};

struct ManifestArchive {
  uint64_t entries = 0;
  std::u16string comment;
  bool zip64 = false;
  uint16_t classicTotal = 0;
  std::vector<ManifestEntry> described;
  std::map<uint32_t, std::pair<std::string, Bytes>> secrets;  // index -> (password, plaintext)
};

// The manifest, by archive file name.
const std::map<std::string, ManifestArchive>& Manifest();

}  // namespace ryl::archive::test
