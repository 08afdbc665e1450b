// A second reading of an archive's directory, from its raw bytes, that the
// commands hold against what the library lists. The library is lenient for
// its hosts: it skips headers it cannot list and takes a directory cut
// short as the end of the list. A user extracting an archive must hear of
// each such case, and of archives built to do harm: entries whose data
// overlap (a few kilobytes that expand to gigabytes), data that runs into
// the directory. The census decodes no text and trusts nothing: every
// offset and length is checked against the file's size. No platform calls,
// so that it is tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rylcli {

struct CentralRecord {
  uint64_t headerOffset = 0;  // of the central header, from the start of the file
  uint16_t flags = 0;
  uint16_t method = 0;
  uint64_t compressedSize = 0;    // ZIP64 values applied
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;  // from the start of the file, data in front included
  std::string name;                // the stored bytes
};

struct DirectoryCensus {
  bool endRecordFound = false;
  bool multiDisk = false;        // the end record names another disk
  bool zip64 = false;
  uint64_t endRecordOffset = 0;
  uint64_t declaredEntries = 0;  // as the end records give them
  uint64_t directoryOffset = 0;  // from the start of the file
  uint64_t declaredDirectorySize = 0;
  uint64_t walkedDirectorySize = 0;  // the bytes of the headers read
  uint64_t prefixLength = 0;         // data in front that the stored offsets do not count
  std::vector<CentralRecord> records;
};

// Reads count bytes at offset; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, void* buffer, uint32_t count)>;

// The same reads served from blocks of blockSize bytes read through raw, so
// that a directory of many small headers costs few reads of the file (under
// Wine each positioned read is a round trip to the server). A read that a
// block cannot hold goes to raw directly.
ReadAt BlockCachedReadAt(ReadAt raw, uint64_t fileSize, uint32_t blockSize);

DirectoryCensus TakeCensus(uint64_t fileSize, const ReadAt& read);

// What is wrong with the directory as a whole, one line each; none for a
// sound one.
std::vector<std::string> DirectoryProblems(const DirectoryCensus& census);

// The records (by index) whose data overlaps another record's local header
// or data, or the directory. Each entry's data needs at least its local
// header's fixed 30 bytes, its name and its compressed size.
std::vector<bool> OverlappingRecords(const DirectoryCensus& census);

}  // namespace rylcli
