#include "zip_image.h"

#include <cstring>

namespace ryl::test {
namespace {

uint64_t Get(const std::string& b, size_t at, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return value;
}
uint16_t U16(const std::string& b, size_t at) { return static_cast<uint16_t>(Get(b, at, 2)); }
uint32_t U32(const std::string& b, size_t at) { return static_cast<uint32_t>(Get(b, at, 4)); }

bool ReadLocal(const std::string& b, size_t at, ZipLocal* local) {
  if (at + 30 > b.size() || U32(b, at) != 0x04034B50u) return false;
  local->offset = at;
  local->version = U16(b, at + 4);
  local->flags = U16(b, at + 6);
  local->method = U16(b, at + 8);
  local->crc = U32(b, at + 14);
  local->compressedSize = U32(b, at + 18);
  local->size = U32(b, at + 22);
  const size_t n = U16(b, at + 26), m = U16(b, at + 28);
  if (at + 30 + n + m > b.size()) return false;
  local->name = b.substr(at + 30, n);
  local->extra = b.substr(at + 30 + n, m);
  local->dataOffset = at + 30 + n + m;
  return true;
}

}  // namespace

std::vector<uint64_t> Zip64Values(const std::string& extra) {
  std::vector<uint64_t> values;
  for (size_t at = 0; at + 4 <= extra.size();) {
    const size_t size = U16(extra, at + 2);
    if (U16(extra, at) == 1) {
      for (size_t i = 0; i + 8 <= size && at + 4 + i + 8 <= extra.size(); i += 8) values.push_back(Get(extra, at + 4 + i, 8));
      return values;
    }
    at += 4 + size;
  }
  return values;
}

std::string ExtraWithoutZip64(const std::string& extra) {
  std::string kept;
  for (size_t at = 0; at + 4 <= extra.size();) {
    const size_t size = U16(extra, at + 2);
    if (U16(extra, at) != 1) kept += extra.substr(at, 4 + size);
    at += 4 + size;
  }
  return kept;
}

ZipImage ParseZip(const std::string& b) {
  ZipImage image;
  size_t end = std::string::npos;
  for (size_t at = b.size() >= 22 ? b.size() - 22 + 1 : 0; at-- > 0;) {
    if (U32(b, at) == 0x06054B50u) {
      end = at;
      break;
    }
  }
  if (end == std::string::npos) {
    image.error = "no end record";
    return image;
  }
  image.endOffset = end;
  image.endEntries = U16(b, end + 10);
  uint64_t count = image.endEntries;
  image.directorySize = U32(b, end + 12);
  image.directoryOffset = U32(b, end + 16);
  image.comment = b.substr(end + 22, U16(b, end + 20));
  if (end >= 20 && U32(b, end - 20) == 0x07064B50u) {
    const uint64_t record = Get(b, end - 20 + 8, 8);
    if (record + 56 <= b.size() && U32(b, record) == 0x06064B50u) {
      image.zip64End = true;
      count = Get(b, record + 32, 8);
      image.directorySize = Get(b, record + 40, 8);
      image.directoryOffset = Get(b, record + 48, 8);
    }
  }
  size_t at = image.directoryOffset;
  for (uint64_t i = 0; i < count; ++i) {
    if (at + 46 > b.size() || U32(b, at) != 0x02014B50u) {
      image.error = "central header " + std::to_string(i) + " unreadable";
      return image;
    }
    ZipCentral e;
    e.offset = at;
    e.madeBy = U16(b, at + 4);
    e.version = U16(b, at + 6);
    e.flags = U16(b, at + 8);
    e.method = U16(b, at + 10);
    e.time = U16(b, at + 12);
    e.date = U16(b, at + 14);
    e.crc = U32(b, at + 16);
    e.compressedSize = U32(b, at + 20);
    e.size = U32(b, at + 24);
    const size_t n = U16(b, at + 28), m = U16(b, at + 30), k = U16(b, at + 32);
    e.external = U32(b, at + 38);
    e.localOffset = U32(b, at + 42);
    e.name = b.substr(at + 46, n);
    e.extra = b.substr(at + 46 + n, m);
    e.comment = b.substr(at + 46 + n + m, k);
    e.raw = b.substr(at, 46 + n + m + k);
    const std::vector<uint64_t> z = Zip64Values(e.extra);
    e.hasZip64 = ExtraWithoutZip64(e.extra).size() != e.extra.size();
    size_t next = 0;
    e.size64 = e.size == 0xFFFFFFFFu && next < z.size() ? z[next++] : e.size;
    e.compressed64 = e.compressedSize == 0xFFFFFFFFu && next < z.size() ? z[next++] : e.compressedSize;
    e.local64 = e.localOffset == 0xFFFFFFFFu && next < z.size() ? z[next++] : e.localOffset;
    if (!ReadLocal(b, static_cast<size_t>(e.local64), &e.local)) {
      image.error = "local header of entry " + std::to_string(i) + " unreadable";
      return image;
    }
    const uint64_t after = e.local.dataOffset + e.compressed64;
    if (after + 16 <= b.size() && U32(b, static_cast<size_t>(after)) == 0x08074B50u) {
      e.hasDescriptor = true;
      e.descriptorCrc = U32(b, static_cast<size_t>(after) + 4);
      e.descriptorCompressed = U32(b, static_cast<size_t>(after) + 8);
      e.descriptorSize = U32(b, static_cast<size_t>(after) + 12);
    }
    image.entries.push_back(e);
    at += e.raw.size();
  }
  return image;
}

std::string RawData(const std::string& bytes, const ZipCentral& entry) {
  if (entry.local.dataOffset + entry.compressed64 > bytes.size()) return "<beyond the end>";
  return bytes.substr(entry.local.dataOffset, static_cast<size_t>(entry.compressed64));
}

}  // namespace ryl::test
