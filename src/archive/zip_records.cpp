#include "archive/zip_records.h"

#include "archive/byte_order.h"

namespace ryl::archive {

bool DecodeLocalHeader(const uint8_t* b, LocalHeaderFields* out) noexcept {
  if (LoadLe32(b) != kLocalHeaderSignature) return false;
  out->versionNeeded = LoadLe16(b + 4);
  out->flags = LoadLe16(b + 6);
  out->method = LoadLe16(b + 8);
  out->dosTime = LoadLe16(b + 10);
  out->dosDate = LoadLe16(b + 12);
  out->crc32 = LoadLe32(b + 14);
  out->compressedSize = LoadLe32(b + 18);
  out->uncompressedSize = LoadLe32(b + 22);
  out->nameLength = LoadLe16(b + 26);
  out->extraLength = LoadLe16(b + 28);
  return true;
}

bool DecodeDataDescriptor(const uint8_t* b, DataDescriptor* out) noexcept {
  if (LoadLe32(b) != kDataDescriptorSignature) return false;
  out->crc32 = LoadLe32(b + 4);
  out->compressedSize = LoadLe32(b + 8);
  out->uncompressedSize = LoadLe32(b + 12);
  return true;
}

bool DecodeCentralHeader(const uint8_t* b, CentralHeaderFields* out) noexcept {
  if (LoadLe32(b) != kCentralHeaderSignature) return false;
  out->versionMadeBy = LoadLe16(b + 4);
  out->versionNeeded = LoadLe16(b + 6);
  out->flags = LoadLe16(b + 8);
  out->method = LoadLe16(b + 10);
  out->dosTime = LoadLe16(b + 12);
  out->dosDate = LoadLe16(b + 14);
  out->crc32 = LoadLe32(b + 16);
  out->compressedSize = LoadLe32(b + 20);
  out->uncompressedSize = LoadLe32(b + 24);
  out->nameLength = LoadLe16(b + 28);
  out->extraLength = LoadLe16(b + 30);
  out->commentLength = LoadLe16(b + 32);
  out->diskNumberStart = LoadLe16(b + 34);
  out->internalAttributes = LoadLe16(b + 36);
  out->externalAttributes = LoadLe32(b + 38);
  out->localHeaderOffset = LoadLe32(b + 42);
  return true;
}

bool DecodeEndRecord(const uint8_t* b, EndRecord* out) noexcept {
  if (LoadLe32(b) != kEndRecordSignature) return false;
  out->diskNumber = LoadLe16(b + 4);
  out->directoryDisk = LoadLe16(b + 6);
  out->entriesOnDisk = LoadLe16(b + 8);
  out->totalEntries = LoadLe16(b + 10);
  out->directorySize = LoadLe32(b + 12);
  out->directoryOffset = LoadLe32(b + 16);
  out->commentLength = LoadLe16(b + 20);
  return true;
}

bool DecodeZip64EndRecord(const uint8_t* b, Zip64EndRecord* out) noexcept {
  if (LoadLe32(b) != kZip64EndRecordSignature) return false;
  out->recordSize = LoadLe64(b + 4);
  out->versionMadeBy = LoadLe16(b + 12);
  out->versionNeeded = LoadLe16(b + 14);
  out->diskNumber = LoadLe32(b + 16);
  out->directoryDisk = LoadLe32(b + 20);
  out->entriesOnDisk = LoadLe64(b + 24);
  out->totalEntries = LoadLe64(b + 32);
  out->directorySize = LoadLe64(b + 40);
  out->directoryOffset = LoadLe64(b + 48);
  return true;
}

bool DecodeZip64Locator(const uint8_t* b, Zip64Locator* out) noexcept {
  if (LoadLe32(b) != kZip64LocatorSignature) return false;
  out->zip64RecordDisk = LoadLe32(b + 4);
  out->zip64RecordOffset = LoadLe64(b + 8);
  out->totalDisks = LoadLe32(b + 16);
  return true;
}

LocalHeaderBytes EncodeLocalHeader(const LocalHeaderFields& f) noexcept {
  LocalHeaderBytes b{};
  StoreLe32(b.data(), kLocalHeaderSignature);
  StoreLe16(b.data() + 4, f.versionNeeded);
  StoreLe16(b.data() + 6, f.flags);
  StoreLe16(b.data() + 8, f.method);
  StoreLe16(b.data() + 10, f.dosTime);
  StoreLe16(b.data() + 12, f.dosDate);
  StoreLe32(b.data() + 14, f.crc32);
  StoreLe32(b.data() + 18, f.compressedSize);
  StoreLe32(b.data() + 22, f.uncompressedSize);
  StoreLe16(b.data() + 26, f.nameLength);
  StoreLe16(b.data() + 28, f.extraLength);
  return b;
}

DataDescriptorBytes EncodeDataDescriptor(const DataDescriptor& f) noexcept {
  DataDescriptorBytes b{};
  StoreLe32(b.data(), kDataDescriptorSignature);
  StoreLe32(b.data() + 4, f.crc32);
  StoreLe32(b.data() + 8, f.compressedSize);
  StoreLe32(b.data() + 12, f.uncompressedSize);
  return b;
}

CentralHeaderBytes EncodeCentralHeader(const CentralHeaderFields& f) noexcept {
  CentralHeaderBytes b{};
  StoreLe32(b.data(), kCentralHeaderSignature);
  StoreLe16(b.data() + 4, f.versionMadeBy);
  StoreLe16(b.data() + 6, f.versionNeeded);
  StoreLe16(b.data() + 8, f.flags);
  StoreLe16(b.data() + 10, f.method);
  StoreLe16(b.data() + 12, f.dosTime);
  StoreLe16(b.data() + 14, f.dosDate);
  StoreLe32(b.data() + 16, f.crc32);
  StoreLe32(b.data() + 20, f.compressedSize);
  StoreLe32(b.data() + 24, f.uncompressedSize);
  StoreLe16(b.data() + 28, f.nameLength);
  StoreLe16(b.data() + 30, f.extraLength);
  StoreLe16(b.data() + 32, f.commentLength);
  StoreLe16(b.data() + 34, f.diskNumberStart);
  StoreLe16(b.data() + 36, f.internalAttributes);
  StoreLe32(b.data() + 38, f.externalAttributes);
  StoreLe32(b.data() + 42, f.localHeaderOffset);
  return b;
}

EndRecordBytes EncodeEndRecord(const EndRecord& f) noexcept {
  EndRecordBytes b{};
  StoreLe32(b.data(), kEndRecordSignature);
  StoreLe16(b.data() + 4, f.diskNumber);
  StoreLe16(b.data() + 6, f.directoryDisk);
  StoreLe16(b.data() + 8, f.entriesOnDisk);
  StoreLe16(b.data() + 10, f.totalEntries);
  StoreLe32(b.data() + 12, f.directorySize);
  StoreLe32(b.data() + 16, f.directoryOffset);
  StoreLe16(b.data() + 20, f.commentLength);
  return b;
}

Zip64EndRecordBytes EncodeZip64EndRecord(const Zip64EndRecord& f) noexcept {
  Zip64EndRecordBytes b{};
  StoreLe32(b.data(), kZip64EndRecordSignature);
  StoreLe64(b.data() + 4, f.recordSize);
  StoreLe16(b.data() + 12, f.versionMadeBy);
  StoreLe16(b.data() + 14, f.versionNeeded);
  StoreLe32(b.data() + 16, f.diskNumber);
  StoreLe32(b.data() + 20, f.directoryDisk);
  StoreLe64(b.data() + 24, f.entriesOnDisk);
  StoreLe64(b.data() + 32, f.totalEntries);
  StoreLe64(b.data() + 40, f.directorySize);
  StoreLe64(b.data() + 48, f.directoryOffset);
  return b;
}

Zip64LocatorBytes EncodeZip64Locator(const Zip64Locator& f) noexcept {
  Zip64LocatorBytes b{};
  StoreLe32(b.data(), kZip64LocatorSignature);
  StoreLe32(b.data() + 4, f.zip64RecordDisk);
  StoreLe64(b.data() + 8, f.zip64RecordOffset);
  StoreLe32(b.data() + 16, f.totalDisks);
  return b;
}

}  // namespace ryl::archive
