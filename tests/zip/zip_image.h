// An archive's records as the bytes say, read independently of the library,
// so that the writer's tests can check fields the reader does not report:
// flags in both headers, data descriptors, ZIP64 records, raw data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ryl::test {

struct ZipLocal {
  size_t offset = 0;
  uint16_t version = 0, flags = 0, method = 0;
  uint32_t crc = 0, compressedSize = 0, size = 0;
  std::string name, extra;
  size_t dataOffset = 0;
};

struct ZipCentral {
  size_t offset = 0;
  std::string raw;  // the whole record, name, extra and comment included
  uint16_t madeBy = 0, version = 0, flags = 0, method = 0, time = 0, date = 0;
  uint32_t crc = 0, compressedSize = 0, size = 0, external = 0, localOffset = 0;
  std::string name, extra, comment;
  // With the ZIP64 record's values put in place of fields that are all ones.
  uint64_t compressed64 = 0, size64 = 0, local64 = 0;
  bool hasZip64 = false;
  ZipLocal local;
  // The data descriptor after the data, when one is there (signature form).
  bool hasDescriptor = false;
  uint32_t descriptorCrc = 0, descriptorCompressed = 0, descriptorSize = 0;
};

struct ZipImage {
  std::string error;  // empty when the records could all be read
  std::vector<ZipCentral> entries;
  std::string comment;
  uint64_t directoryOffset = 0, directorySize = 0;
  size_t endOffset = 0;
  bool zip64End = false;  // ZIP64 end record and locator present
  uint16_t endEntries = 0;
};

ZipImage ParseZip(const std::string& bytes);

// The data bytes of an entry as stored (compressed, encrypted).
std::string RawData(const std::string& bytes, const ZipCentral& entry);

// The records of an extra field other than the ZIP64 one, id and data.
std::string ExtraWithoutZip64(const std::string& extra);
// The ZIP64 record's 64-bit values, in order; empty when there is none.
std::vector<uint64_t> Zip64Values(const std::string& extra);

}  // namespace ryl::test
