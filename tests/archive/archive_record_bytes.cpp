// The byte-level builders of the format tests, free of the native layer so
// that the portable build runs the suites that need only these.
#include <gtest/gtest.h>

#include "archive_test_support.h"
#include "support/result_matchers.h"
#include "sys/codec/crc32_kernels.h"

namespace ryl::archive::test {

core::ObjectPtr<streams::MemoryStream> StreamOver(const Bytes& bytes) {
  core::ObjectPtr<streams::MemoryStream> stream(core::MakeObject<streams::MemoryStream>());
  uint32_t done = 0;
  EXPECT_CODE(stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), RYL_OK);
  EXPECT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  return stream;
}

Bytes ContentsOf(streams::MemoryStream* stream) {
  return Bytes(reinterpret_cast<const char*>(stream->data()), stream->size());
}

Bytes Le16(uint16_t value) { return Bytes{static_cast<char>(value), static_cast<char>(value >> 8)}; }
Bytes Le32(uint32_t value) { return Le16(static_cast<uint16_t>(value)) + Le16(static_cast<uint16_t>(value >> 16)); }
Bytes Le64(uint64_t value) { return Le32(static_cast<uint32_t>(value)) + Le32(static_cast<uint32_t>(value >> 32)); }

namespace {
uint16_t LengthOf(const Bytes& part, int override) {
  return static_cast<uint16_t>(override >= 0 ? override : part.size());
}
}  // namespace

Bytes CentralBytes(const RawCentral& h) {
  return Le32(0x02014B50) + Le16(20) + Le16(10) + Le16(h.flags) + Le16(0) + Le16(h.dosTime) + Le16(h.dosDate) +
         Le32(0x12345678) + Le32(h.compressedSize) + Le32(h.uncompressedSize) +
         Le16(LengthOf(h.name, h.nameLengthOverride)) + Le16(LengthOf(h.extra, h.extraLengthOverride)) +
         Le16(LengthOf(h.comment, h.commentLengthOverride)) + Le16(0) + Le16(0) + Le32(0x20) +
         Le32(h.localHeaderOffset) + h.name + h.extra + h.comment;
}

Bytes EndRecordBytes(uint16_t entries, uint32_t directorySize, uint32_t directoryOffset, const Bytes& comment) {
  return Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(entries) + Le16(entries) + Le32(directorySize) +
         Le32(directoryOffset) + Le16(static_cast<uint16_t>(comment.size())) + comment;
}

Bytes ArchiveOf(const Bytes& body, const std::vector<Bytes>& centrals, const Bytes& comment) {
  Bytes directory;
  for (const Bytes& central : centrals) directory += central;
  return body + directory +
         EndRecordBytes(static_cast<uint16_t>(centrals.size()), static_cast<uint32_t>(directory.size()),
                        static_cast<uint32_t>(body.size()), comment);
}

ZipDirectory DirectoryOf(const Bytes& bytes) {
  auto stream = StreamOver(bytes);
  ZipDirectory directory;
  EXPECT_CODE(ReadZipDirectory(stream.get(), &directory), RYL_OK);
  return directory;
}

uint32_t Crc32(const Bytes& data) {
  uint32_t reg = 0xFFFFFFFFu;
  for (char c : data) reg = sys::Crc32UpdateByte(reg, static_cast<uint8_t>(c));
  return ~reg;
}

}  // namespace ryl::archive::test
