// Archives written by Info-ZIP zip, 7-Zip and Python's zipfile, read from
// files and compared field by field with what Python's zipfile reads from
// them; and each entry's data found through its local header.
#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>

#include "archive/central_directory.h"
#include "archive/local_header.h"
#include "archive_test_support.h"
#include "fs/file_stream.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;

core::ObjectPtr<fs::FileStream> OpenFixture(const std::string& file) {
  core::ObjectPtr<fs::FileStream> stream(core::MakeObject<fs::FileStream>());
  const std::u16string path = test::FixturePath(file);
  EXPECT_CODE(stream->Open(path.c_str(), fs::kOpenExisting, 0, fs::kAccessRead, 1, 0), RYL_OK) << file;
  return stream;
}

std::string ExtrasOf(const CentralHeaderImage& image) {
  std::ostringstream out;
  for (const ExtraRecord& record : image.extras) {
    if (out.tellp() > 0) out << ',';
    char id[8];
    std::snprintf(id, sizeof id, "%04x", record.id);
    out << id << ':' << record.data.size();
  }
  return out.tellp() > 0 ? out.str() : "-";
}

Bytes EntryData(SeekableStream* stream, const CentralHeaderImage& image) {
  LocalHeaderInfo local;
  EXPECT_CODE(ReadLocalHeader(stream, image.LocalHeaderOffset(), &local), RYL_OK);
  Bytes data(static_cast<size_t>(image.CompressedSize()), '\0');
  EXPECT_CODE(ReadExactAt(stream, local.dataOffset, data.data(), static_cast<uint32_t>(data.size())), RYL_OK);
  if (image.method == kMethodStored) return data;
  z_stream z = {};
  inflateInit2(&z, -15);
  Bytes out(static_cast<size_t>(image.UncompressedSize()) + 1, '\0');
  z.next_in = reinterpret_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

void CheckAgainstManifest(const std::string& file) {
  SCOPED_TRACE(file);
  const test::ManifestArchive& expected = test::Manifest().at(file);
  auto stream = OpenFixture(file);
  ZipDirectory directory;
  ASSERT_CODE(ReadZipDirectory(stream.get(), &directory), RYL_OK);
  ASSERT_EQ(directory.entries.size(), expected.entries);
  EXPECT_EQ(directory.skippedEntries, 0u);
  EXPECT_EQ(directory.stop, CentralHeaderResult::kNotAHeader);
  EXPECT_EQ(directory.comment, expected.comment);
  EXPECT_EQ(directory.zip64.has_value(), expected.zip64);
  EXPECT_EQ(directory.endRecord.totalEntries, expected.classicTotal);
  EXPECT_EQ(directory.totalEntries, expected.entries);
  for (const test::ManifestEntry& e : expected.described) {
    SCOPED_TRACE("entry " + std::to_string(e.index));
    const CentralHeaderImage& image = directory.entries.at(e.index);
    EXPECT_EQ(test::Utf8(image.name), test::Utf8(e.name));
    EXPECT_EQ(image.flags, e.flags);
    EXPECT_EQ(image.method, e.method);
    EXPECT_EQ(image.crc32, e.crc);
    EXPECT_EQ(image.CompressedSize(), e.compressedSize);
    EXPECT_EQ(image.UncompressedSize(), e.uncompressedSize);
    EXPECT_EQ(image.LocalHeaderOffset(), e.offset);
    EXPECT_EQ(image.dosDate, e.dosDate);
    EXPECT_EQ(image.dosTime, e.dosTime);
    EXPECT_EQ(image.time, e.time);
    EXPECT_EQ(test::Utf8(image.comment), test::Utf8(e.comment));
    EXPECT_EQ(image.versionNeeded, e.versionNeeded);
    EXPECT_EQ(image.versionMadeBy, e.versionMadeBy);
    EXPECT_EQ(ExtrasOf(image), e.extras);
    EXPECT_EQ(image.externalAttributes,
              image.name.back() == u'/' ? kExternalAttributesDirectory : kExternalAttributesFile);
    // The data is where the local header says, and is what the CRC says,
    // for every entry this test can decode.
    if ((image.flags & kFlagEncrypted) == 0 && (image.method == kMethodStored || image.method == kMethodDeflate)) {
      EXPECT_EQ(test::Crc32(EntryData(stream.get(), image)), e.crc);
    }
  }
}

TEST(FixtureArchives, InfoZipArchivesParseAsZipfileReadsThem) {
  CheckAgainstManifest("infozip_basic.zip");
  CheckAgainstManifest("infozip_encrypted.zip");
  CheckAgainstManifest("infozip_zip64.zip");
}

TEST(FixtureArchives, SevenZipAndPythonArchivesParseAsZipfileReadsThem) {
  CheckAgainstManifest("sevenzip_encrypted.zip");
  CheckAgainstManifest("python_mixed.zip");
  CheckAgainstManifest("python_force_zip64.zip");
  CheckAgainstManifest("crafted_zip64_all.zip");
}

TEST(FixtureArchives, MoreThan65535EntriesAreAllListedThroughTheZip64EndRecord) {
  CheckAgainstManifest("python_many.zip");
}

TEST(FixtureArchives, InfoZipForcedZip64CarriesOnlyTheMarkedValue) {
  auto stream = OpenFixture("infozip_zip64.zip");
  ZipDirectory directory;
  ASSERT_CODE(ReadZipDirectory(stream.get(), &directory), RYL_OK);
  ASSERT_FALSE(directory.entries.empty());
  const CentralHeaderImage& readme = directory.entries[0];
  EXPECT_EQ(readme.uncompressedSize, kZip64Marker32);
  ASSERT_TRUE(readme.zip64.has_value());
  EXPECT_TRUE(readme.zip64->uncompressedSize.has_value());
  EXPECT_FALSE(readme.zip64->compressedSize.has_value());
  EXPECT_EQ(directory.endRecord.directoryOffset, kZip64Marker32);
  ASSERT_TRUE(directory.zip64.has_value());
  EXPECT_EQ(directory.zip64->record.versionNeeded, 45u);
}

TEST(FixtureArchives, PythonForcedZip64LocalHeadersCarryBothSizes) {
  auto stream = OpenFixture("python_force_zip64.zip");
  ZipDirectory directory;
  ASSERT_CODE(ReadZipDirectory(stream.get(), &directory), RYL_OK);
  for (const CentralHeaderImage& image : directory.entries) {
    EXPECT_FALSE(image.zip64.has_value());  // the central headers need none
    LocalHeaderInfo local;
    ASSERT_CODE(ReadLocalHeader(stream.get(), image.LocalHeaderOffset(), &local), RYL_OK);
    EXPECT_EQ(local.fields.compressedSize, kZip64Marker32);
    EXPECT_EQ(local.zip64.uncompressedSize, image.UncompressedSize());
    EXPECT_EQ(local.zip64.compressedSize, image.CompressedSize());
  }
}

}  // namespace
}  // namespace ryl::archive
