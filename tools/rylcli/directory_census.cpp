#include "directory_census.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

namespace rylcli {
namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kCentralSize = 46;
constexpr uint32_t kLocalSize = 30;
constexpr uint32_t kMaxComment = 0xFFFF;
// A directory walk stops here whatever the records say: no real archive
// has more, and memory stays bounded on a file of repeated headers.
constexpr size_t kMaxRecords = 4u << 20;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (static_cast<uint32_t>(Le16(p + 2)) << 16); }
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

// The end record: the last signature whose record and comment end the
// file, else the last signature at all.
bool FindEnd(uint64_t fileSize, const ReadAt& read, uint64_t* out) {
  if (fileSize < kEndSize) return false;
  const uint64_t lowest = fileSize > kEndSize + kMaxComment ? fileSize - kEndSize - kMaxComment : 0;
  const auto length = static_cast<uint32_t>(fileSize - lowest);
  std::vector<uint8_t> tail(length);
  if (!read(lowest, tail.data(), length)) return false;
  bool found = false;
  for (uint64_t at = fileSize - kEndSize + 1; at-- > lowest;) {
    const uint8_t* p = tail.data() + (at - lowest);
    if (Le32(p) != kEndSignature) continue;
    if (at + kEndSize + Le16(p + 20) == fileSize) {
      *out = at;
      return true;
    }
    if (!found) *out = at;
    found = true;
  }
  return found;
}

// The per-entry ZIP64 values, in their fixed order, for the fields that
// hold the marker.
void ApplyZip64(const uint8_t* extra, uint32_t length, bool usize, bool csize, bool offset, CentralRecord* r) {
  for (uint32_t at = 0; at + 4 <= length;) {
    const uint16_t id = Le16(extra + at);
    const uint16_t size = Le16(extra + at + 2);
    if (at + 4 + size > length) return;
    if (id == 1) {
      const uint8_t* p = extra + at + 4;
      uint32_t left = size;
      auto take = [&](bool wanted, uint64_t* field) {
        if (!wanted || left < 8) return;
        *field = Le64(p);
        p += 8;
        left -= 8;
      };
      take(usize, &r->uncompressedSize);
      take(csize, &r->compressedSize);
      take(offset, &r->localHeaderOffset);
      return;
    }
    at += 4 + size;
  }
}

bool HasCentralSignature(const ReadAt& read, uint64_t offset) {
  uint8_t b[4];
  return read(offset, b, 4) && Le32(b) == kCentralSignature;
}

}  // namespace

ReadAt BlockCachedReadAt(ReadAt raw, uint64_t fileSize, uint32_t blockSize) {
  struct Block {
    std::vector<uint8_t> bytes;
    uint64_t start = 0;
    bool valid = false;
  };
  auto block = std::make_shared<Block>();
  return [raw = std::move(raw), block, fileSize, blockSize](uint64_t offset, void* buffer, uint32_t count) {
    if (count > blockSize) return raw(offset, buffer, count);
    if (offset > fileSize || fileSize - offset < count) return false;
    Block& b = *block;
    const bool inside = b.valid && offset >= b.start && offset - b.start + count <= b.bytes.size();
    if (!inside) {
      // The block starts at the read, and runs to the end of the file at most.
      const uint64_t left = fileSize - offset;
      b.bytes.resize(static_cast<size_t>(left < blockSize ? left : blockSize));
      b.valid = raw(offset, b.bytes.data(), static_cast<uint32_t>(b.bytes.size()));
      b.start = offset;
      if (!b.valid) return raw(offset, buffer, count);
    }
    std::memcpy(buffer, b.bytes.data() + (offset - b.start), count);
    return true;
  };
}

DirectoryCensus TakeCensus(uint64_t fileSize, const ReadAt& read) {
  DirectoryCensus census;
  uint64_t end = 0;
  if (!FindEnd(fileSize, read, &end)) return census;
  uint8_t e[kEndSize];
  if (!read(end, e, kEndSize)) return census;
  census.endRecordFound = true;
  census.endRecordOffset = end;
  census.multiDisk = Le16(e + 4) != 0 || Le16(e + 6) != 0 || Le16(e + 8) != Le16(e + 10);
  census.declaredEntries = Le16(e + 10);
  census.declaredDirectorySize = Le32(e + 12);
  census.directoryOffset = Le32(e + 16);
  uint64_t recordsAt = end;
  uint8_t locator[20];
  if (end >= 20 && read(end - 20, locator, 20) && Le32(locator) == kZip64LocatorSignature) {
    const uint64_t at = Le64(locator + 8);
    uint8_t z[56];
    if (at < fileSize && read(at, z, 56) && Le32(z) == kZip64EndSignature) {
      census.zip64 = true;
      census.multiDisk = census.multiDisk || Le32(z + 16) != 0 || Le32(z + 20) != 0;
      census.declaredEntries = Le64(z + 32);
      census.declaredDirectorySize = Le64(z + 40);
      census.directoryOffset = Le64(z + 48);
      recordsAt = at;
    }
  }
  // Data in front: the directory lies just before the end records.
  if (census.declaredDirectorySize != 0 && census.declaredDirectorySize <= recordsAt) {
    const uint64_t expected = recordsAt - census.declaredDirectorySize;
    if (expected > census.directoryOffset && !HasCentralSignature(read, census.directoryOffset) &&
        HasCentralSignature(read, expected)) {
      census.prefixLength = expected - census.directoryOffset;
      census.directoryOffset = expected;
    }
  }
  uint64_t at = census.directoryOffset;
  while (census.records.size() < kMaxRecords && at <= fileSize && fileSize - at >= kCentralSize) {
    uint8_t h[kCentralSize];
    if (!read(at, h, kCentralSize) || Le32(h) != kCentralSignature) break;
    const uint32_t nameLength = Le16(h + 28);
    const uint32_t extraLength = Le16(h + 30);
    const uint32_t commentLength = Le16(h + 32);
    const uint64_t total = uint64_t{kCentralSize} + nameLength + extraLength + commentLength;
    if (fileSize - at < total) break;
    std::vector<uint8_t> variable(nameLength + extraLength);
    if (!variable.empty() && !read(at + kCentralSize, variable.data(), static_cast<uint32_t>(variable.size()))) break;
    CentralRecord r;
    r.headerOffset = at;
    r.flags = Le16(h + 8);
    r.method = Le16(h + 10);
    r.compressedSize = Le32(h + 20);
    r.uncompressedSize = Le32(h + 24);
    r.localHeaderOffset = Le32(h + 42);
    ApplyZip64(variable.data() + nameLength, extraLength, r.uncompressedSize == 0xFFFFFFFF,
               r.compressedSize == 0xFFFFFFFF, r.localHeaderOffset == 0xFFFFFFFF, &r);
    r.localHeaderOffset += census.prefixLength;
    r.name.assign(variable.begin(), variable.begin() + nameLength);
    census.records.push_back(std::move(r));
    at += total;
  }
  census.walkedDirectorySize = at - census.directoryOffset;
  return census;
}

std::vector<std::string> DirectoryProblems(const DirectoryCensus& census) {
  std::vector<std::string> problems;
  if (!census.endRecordFound) {
    problems.push_back("no end of central directory record: not a ZIP archive");
    return problems;
  }
  if (census.multiDisk) problems.push_back("the archive spans several disks, and only its last part is here");
  const uint64_t walked = census.records.size();
  if (walked < census.declaredEntries) {
    problems.push_back("the directory declares " + std::to_string(census.declaredEntries) + " entries but holds " +
                       std::to_string(walked) + " readable headers");
  } else if (census.walkedDirectorySize != census.declaredDirectorySize && !census.zip64 &&
             census.declaredEntries != 0xFFFF) {
    problems.push_back("the directory's declared size (" + std::to_string(census.declaredDirectorySize) +
                       " bytes) is not the size of its headers (" + std::to_string(census.walkedDirectorySize) +
                       " bytes)");
  }
  return problems;
}

std::vector<bool> OverlappingRecords(const DirectoryCensus& census) {
  const auto& records = census.records;
  std::vector<bool> overlapping(records.size(), false);
  std::vector<size_t> order(records.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return records[a].localHeaderOffset < records[b].localHeaderOffset;
  });
  // The least each entry occupies; a real local header is at least this.
  auto occupiedEnd = [&](const CentralRecord& r) {
    const uint64_t least = kLocalSize + r.name.size();
    return r.compressedSize > ~uint64_t{0} - least - r.localHeaderOffset ? ~uint64_t{0}
                                                                         : r.localHeaderOffset + least + r.compressedSize;
  };
  // Walking by offset, an entry that starts before the furthest end seen so
  // far overlaps the entry that reaches there.
  uint64_t furthest = 0;
  size_t reacher = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    const CentralRecord& r = records[order[i]];
    if (i != 0 && r.localHeaderOffset < furthest) {
      overlapping[order[i]] = true;
      overlapping[reacher] = true;
    }
    const uint64_t endOfData = occupiedEnd(r);
    if (endOfData > census.directoryOffset) overlapping[order[i]] = true;
    if (endOfData > furthest) {
      furthest = endOfData;
      reacher = order[i];
    }
  }
  return overlapping;
}

}  // namespace rylcli
