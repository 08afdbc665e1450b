// Every record written and read back field for field, and the values the
// writers put into fields on their own: bit 11, the zeros of a deferred
// local header, the ZIP64 markers and the end record's overflow.
#include <gtest/gtest.h>

#include "archive/central_directory.h"
#include "archive/local_header.h"
#include "archive/stream_io.h"
#include "archive/zip_record_writer.h"
#include "archive_test_support.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;

TEST(ZipRecords, FixedPartsRoundTripEveryFieldAndRefuseForeignSignatures) {
  const LocalHeaderFields local = {0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C0D0E, 0x0F101112, 0x13141516,
                                   0x1718, 0x191A};
  LocalHeaderFields localBack;
  const LocalHeaderBytes localBytes = EncodeLocalHeader(local);
  ASSERT_TRUE(DecodeLocalHeader(localBytes.data(), &localBack));
  EXPECT_EQ(local, localBack);
  EXPECT_EQ(localBytes[0], 0x50);
  EXPECT_EQ(localBytes[29], 0x19);

  const CentralHeaderFields central = {1, 2, 3, 4, 5, 6, 0x70000007, 0x80000008, 0x90000009, 10, 11,
                                       12, 13, 14, 0xA000000F, 0xB0000010};
  CentralHeaderFields centralBack;
  const CentralHeaderBytes centralBytes = EncodeCentralHeader(central);
  ASSERT_TRUE(DecodeCentralHeader(centralBytes.data(), &centralBack));
  EXPECT_EQ(central, centralBack);
  EXPECT_EQ(centralBytes[45], 0xB0);

  const DataDescriptor descriptor = {0xDEADBEEF, 0x01020304, 0xFFFFFFFF};
  DataDescriptor descriptorBack;
  ASSERT_TRUE(DecodeDataDescriptor(EncodeDataDescriptor(descriptor).data(), &descriptorBack));
  EXPECT_EQ(descriptorBack, descriptor);

  const EndRecord end = {1, 2, 3, 4, 0x05060708, 0x090A0B0C, 13};
  EndRecord endBack;
  ASSERT_TRUE(DecodeEndRecord(EncodeEndRecord(end).data(), &endBack));
  EXPECT_EQ(end, endBack);

  const Zip64EndRecord end64 = {44, 45, 46, 7, 8, 0x1'0000'0009, 0x2'0000'000A, 0x3'0000'000B, 0x4'0000'000C};
  Zip64EndRecord end64Back;
  ASSERT_TRUE(DecodeZip64EndRecord(EncodeZip64EndRecord(end64).data(), &end64Back));
  EXPECT_EQ(end64Back, end64);

  const Zip64Locator locator = {3, 0x1234'5678'9ABC, 1};
  Zip64Locator locatorBack;
  ASSERT_TRUE(DecodeZip64Locator(EncodeZip64Locator(locator).data(), &locatorBack));
  EXPECT_EQ(locatorBack, locator);

  // Each decoder reads only its own record, and a refusal leaves the output.
  CentralHeaderFields untouched;
  untouched.crc32 = 0xDEADBEEF;
  EXPECT_FALSE(DecodeCentralHeader(localBytes.data(), &untouched));
  EXPECT_EQ(untouched.crc32, 0xDEADBEEFu);
  EXPECT_FALSE(DecodeLocalHeader(centralBytes.data(), &localBack));
  EXPECT_FALSE(DecodeZip64EndRecord(EncodeEndRecord(end).data(), &end64Back));
}

TEST(ZipRecords, ExtractVersionGateTakesUpTo20And45And46Only) {
  for (uint16_t v = 0; v <= 20; ++v) EXPECT_TRUE(IsExtractVersionSupported(v)) << v;
  EXPECT_TRUE(IsExtractVersionSupported(45));
  EXPECT_TRUE(IsExtractVersionSupported(46));
  for (uint16_t v : {21, 44, 47, 51, 63, 0x031E, 0xFFFF}) EXPECT_FALSE(IsExtractVersionSupported(v)) << v;
  // A host system in the high byte does not change the version.
  for (uint16_t v : {0x0314, 0x0A14, 0x0300, 0x032D, 0x0B2E}) EXPECT_TRUE(IsExtractVersionSupported(v)) << v;
  for (uint16_t v : {0x0315, 0x0333, 0x03FF}) EXPECT_FALSE(IsExtractVersionSupported(v)) << v;
}

CentralHeaderImage SampleImage() {
  CentralHeaderImage image;
  image.versionMadeBy = 0x031E;
  image.versionNeeded = 20;
  image.flags = 0x0002;
  image.method = kMethodDeflate;
  image.dosDate = (41 << 9) | (6 << 5) | 15;
  image.dosTime = (12 << 11) | (34 << 5) | 28;
  image.crc32 = 0xCAFEF00D;
  image.compressedSize = 1000;
  image.uncompressedSize = 4000;
  image.diskNumberStart = 0;
  image.internalAttributes = 1;
  image.externalAttributes = kExternalAttributesFile;
  image.localHeaderOffset = 0;
  image.name = u"dir/file.txt";
  image.comment = u"a comment";
  image.extras = {{0x5455, {1, 2, 3, 4, 5}}, {0xCAFE, {}}, {0x7875, {9, 8, 7}}};
  return image;
}

// Writes the images as an archive (local headers without data, then the
// directory) and loads it back.
ZipDirectory WriteAndLoad(std::vector<CentralHeaderImage> images, const std::u16string& comment = u"") {
  auto stream = test::StreamOver("");
  for (CentralHeaderImage& image : images) {
    uint64_t at = 0;
    EXPECT_CODE(stream->Tell(&at), RYL_OK);
    EXPECT_CODE(PlaceLocalHeaderOffset(&image, at), RYL_OK);
    EXPECT_CODE(WriteLocalHeader(stream.get(), image), RYL_OK);
  }
  uint64_t directoryStart = 0;
  EXPECT_CODE(stream->Tell(&directoryStart), RYL_OK);
  for (const CentralHeaderImage& image : images) EXPECT_CODE(WriteCentralHeader(stream.get(), image), RYL_OK);
  uint64_t directoryEnd = 0;
  EXPECT_CODE(stream->Tell(&directoryEnd), RYL_OK);
  EndRecord end;
  FillDirectoryTotals(images.size(), directoryEnd - directoryStart, directoryStart, &end, nullptr);
  EXPECT_CODE(WriteEndRecord(stream.get(), end, comment), RYL_OK);
  return test::DirectoryOf(test::ContentsOf(stream.get()));
}

TEST(ZipRecordWriter, CentralHeadersRoundTripTextsExtrasAndEveryKeptField) {
  CentralHeaderImage first = SampleImage();
  CentralHeaderImage second = SampleImage();
  second.name = u"\u00e9t\u00e9/\u65e5\u672c.txt";
  second.comment = u"";
  second.extras.clear();
  const ZipDirectory directory = WriteAndLoad({first, second}, u"archive comment");
  ASSERT_EQ(directory.entries.size(), 2u);
  EXPECT_EQ(directory.comment, u"archive comment");
  EXPECT_EQ(directory.stop, CentralHeaderResult::kNotAHeader);

  CentralHeaderImage expected = first;
  expected.localHeaderOffset = 0;
  EXPECT_EQ(directory.entries[0].name, expected.name);
  EXPECT_EQ(directory.entries[0].comment, expected.comment);
  EXPECT_EQ(directory.entries[0].extras, expected.extras);
  EXPECT_EQ(directory.entries[0].versionMadeBy, 0x031E);
  EXPECT_EQ(directory.entries[0].internalAttributes, 1);
  EXPECT_EQ(directory.entries[0].crc32, 0xCAFEF00Du);
  EXPECT_EQ(directory.entries[0].flags, 0x0002);
  EXPECT_FALSE(directory.entries[0].zip64.has_value());
  EXPECT_EQ(directory.entries[1].name, second.name);
  EXPECT_EQ(directory.entries[1].flags, 0x0002 | kFlagUtf8);
  EXPECT_GT(directory.entries[1].localHeaderOffset, 0u);

  // The local headers are where the directory says, with the same extras.
  auto stream = test::StreamOver("");
  ASSERT_CODE(WriteLocalHeader(stream.get(), first), RYL_OK);
  LocalHeaderInfo local;
  ASSERT_CODE(ReadLocalHeader(stream.get(), 0, &local), RYL_OK);
  EXPECT_EQ(local.dataOffset, 30u + 12 + (4 + 5) + 4 + (4 + 3));
  EXPECT_EQ(local.fields.compressedSize, 1000u);
  EXPECT_EQ(local.fields.crc32, 0xCAFEF00Du);
}

TEST(ZipRecordWriter, Bit11FollowsNameOrCommentInBothHeaders) {
  CentralHeaderImage image = SampleImage();
  image.flags = kFlagUtf8 | kFlagEncrypted;  // a stale bit 11 is recomputed
  image.comment = u"caf\u00e9";
  std::vector<uint8_t> local;
  std::vector<uint8_t> central;
  ASSERT_CODE(BuildLocalHeader(image, &local), RYL_OK);
  ASSERT_CODE(BuildCentralHeader(image, &central), RYL_OK);
  LocalHeaderFields localFields;
  CentralHeaderFields centralFields;
  ASSERT_TRUE(DecodeLocalHeader(local.data(), &localFields));
  ASSERT_TRUE(DecodeCentralHeader(central.data(), &centralFields));
  EXPECT_EQ(localFields.flags, kFlagEncrypted | kFlagUtf8);
  EXPECT_EQ(centralFields.flags, kFlagEncrypted | kFlagUtf8);
  image.comment = u"plain";
  ASSERT_CODE(BuildLocalHeader(image, &local), RYL_OK);
  ASSERT_TRUE(DecodeLocalHeader(local.data(), &localFields));
  EXPECT_EQ(localFields.flags, kFlagEncrypted);
  // The comment goes out as UTF-8.
  EXPECT_EQ(centralFields.commentLength, 5u);
  EXPECT_EQ(Bytes(central.end() - 5, central.end()), "caf\xC3\xA9");
}

TEST(ZipRecordWriter, DeferredEntriesGetZeroCrcAndSizesInTheLocalHeaderEvenWithZip64) {
  CentralHeaderImage image = SampleImage();
  image.flags = kFlagDataDescriptor;
  ASSERT_CODE(PlaceSizes(&image, 0x1'0000'0000, 0x2'0000'0000), RYL_OK);
  std::vector<uint8_t> bytes;
  ASSERT_CODE(BuildLocalHeader(image, &bytes), RYL_OK);
  LocalHeaderFields fields;
  ASSERT_TRUE(DecodeLocalHeader(bytes.data(), &fields));
  EXPECT_EQ(fields.crc32, 0u);
  EXPECT_EQ(fields.compressedSize, 0u);
  EXPECT_EQ(fields.uncompressedSize, 0u);
  // The ZIP64 record still follows the kept records, sizes only.
  const Bytes tail(bytes.end() - 20, bytes.end());
  EXPECT_EQ(tail, test::Le16(1) + test::Le16(16) + test::Le64(0x2'0000'0000) + test::Le64(0x1'0000'0000));

  // The descriptor after a local header with ZIP64 sizes is the 24-byte
  // form a streaming reader expects there: 64-bit sizes, compressed first.
  auto stream = test::StreamOver("");
  ASSERT_CODE(WriteDataDescriptor(stream.get(), image), RYL_OK);
  EXPECT_EQ(test::ContentsOf(stream.get()),
            test::Le32(0x08074B50) + test::Le32(0xCAFEF00D) + test::Le64(0x1'0000'0000) + test::Le64(0x2'0000'0000));
}

TEST(ZipRecordWriter, Zip64ValuesRoundTripInTheirOrderAndOnlyWhereMarked) {
  CentralHeaderImage big = SampleImage();
  ASSERT_CODE(PlaceSizes(&big, 0x1'2345'6789, 0x9'8765'4321), RYL_OK);
  EXPECT_EQ(big.compressedSize, kZip64Marker32);
  EXPECT_EQ(big.uncompressedSize, kZip64Marker32);
  CentralHeaderImage small = SampleImage();
  ASSERT_CODE(PlaceSizes(&small, 10, 20), RYL_OK);
  EXPECT_FALSE(small.zip64.has_value());

  // Offsets are placed by WriteAndLoad; push one past 4 GiB by hand.
  auto stream = test::StreamOver("");
  ASSERT_CODE(PlaceLocalHeaderOffset(&small, 0x1'0000'0010), RYL_OK);
  ASSERT_CODE(WriteCentralHeader(stream.get(), big), RYL_OK);
  ASSERT_CODE(WriteCentralHeader(stream.get(), small), RYL_OK);
  const Bytes directory = test::ContentsOf(stream.get());
  const ZipDirectory loaded = test::DirectoryOf(directory + test::EndRecordBytes(2, directory.size(), 0));
  ASSERT_EQ(loaded.entries.size(), 2u);
  EXPECT_EQ(loaded.entries[0].CompressedSize(), 0x1'2345'6789u);
  EXPECT_EQ(loaded.entries[0].UncompressedSize(), 0x9'8765'4321u);
  EXPECT_EQ(loaded.entries[0].extras, big.extras);
  EXPECT_EQ(loaded.entries[1].CompressedSize(), 10u);
  EXPECT_EQ(loaded.entries[1].LocalHeaderOffset(), 0x1'0000'0010u);
  EXPECT_FALSE(loaded.entries[1].zip64->compressedSize.has_value());

  // A reserved record keeps the sizes in ZIP64 even when they end up small,
  // so that the local header can be rewritten with the same length.
  CentralHeaderImage reserved = SampleImage();
  ASSERT_CODE(PlaceSizes(&reserved, 0xFFFFFFFF, 0x1'0000'0000), RYL_OK);
  std::vector<uint8_t> before;
  ASSERT_CODE(BuildLocalHeader(reserved, &before), RYL_OK);
  ASSERT_CODE(PlaceSizes(&reserved, 7, 9), RYL_OK);
  ASSERT_CODE(PlaceLocalHeaderOffset(&reserved, 0x2'0000'0000), RYL_OK);
  std::vector<uint8_t> after;
  ASSERT_CODE(BuildLocalHeader(reserved, &after), RYL_OK);
  EXPECT_EQ(before.size(), after.size());
  EXPECT_EQ(reserved.CompressedSize(), 7u);
  EXPECT_EQ(reserved.UncompressedSize(), 9u);
}

TEST(ZipRecordWriter, RefusesWhatWouldBeMisreadOrCannotBeCounted) {
  CentralHeaderImage image = SampleImage();
  // A value in the record whose field lacks the marker would shift every
  // later value for a reader.
  image.zip64 = Zip64ExtendedInfo{};
  image.zip64->compressedSize = 5;
  auto stream = test::StreamOver("");
  EXPECT_CODE(WriteCentralHeader(stream.get(), image), RYL_E_INVALID_ARG);
  EXPECT_CODE(WriteLocalHeader(stream.get(), image), RYL_E_INVALID_ARG);

  image = SampleImage();
  image.name = std::u16string(0x10000, u'n');
  EXPECT_CODE(WriteCentralHeader(stream.get(), image), RYL_E_VALUE_TOO_LARGE);
  image.name = std::u16string(0x8000, u'\u00e9');  // two bytes each in UTF-8
  EXPECT_CODE(WriteLocalHeader(stream.get(), image), RYL_E_VALUE_TOO_LARGE);
  image = SampleImage();
  image.comment = std::u16string(0x10000, u'c');
  EXPECT_CODE(WriteCentralHeader(stream.get(), image), RYL_E_VALUE_TOO_LARGE);
  image = SampleImage();
  image.extras = {{1, std::vector<uint8_t>(0x8000)}, {2, std::vector<uint8_t>(0x8000)}};
  EXPECT_CODE(WriteCentralHeader(stream.get(), image), RYL_E_VALUE_TOO_LARGE);
  EXPECT_CODE(WriteEndRecord(stream.get(), EndRecord{}, std::u16string(0x10000, u'x')), RYL_E_VALUE_TOO_LARGE);
  // Nothing reached the stream.
  EXPECT_EQ(stream->size(), 0u);
  // A name of exactly 65535 bytes still fits.
  image = SampleImage();
  image.name = std::u16string(0xFFFF, u'n');
  EXPECT_CODE(WriteCentralHeader(stream.get(), image), RYL_OK);
}

TEST(ZipRecordWriter, ArchiveCommentGoesOutInTheOemCodePageItIsReadIn) {
#ifndef _WIN32
  GTEST_SKIP() << "the portable build stands in ISO-8859-1 for the OEM code page; this checks code page 437";
#endif
  auto stream = test::StreamOver("");
  ASSERT_CODE(WriteEndRecord(stream.get(), EndRecord{}, u"caf\u00e9"), RYL_OK);
  const Bytes bytes = test::ContentsOf(stream.get());
  EXPECT_EQ(bytes.substr(20), test::Le16(4) + "caf\x82");  // code page 437
  EXPECT_EQ(test::DirectoryOf(bytes).comment, u"caf\u00e9");
}

TEST(ZipRecordWriter, EndRecordsOverflowIntoZip64AtTheirLimits) {
  EndRecord end;
  Zip64EndRecord end64;
  EXPECT_FALSE(FillDirectoryTotals(0xFFFE, 0xFFFFFFFE, 0xFFFFFFFE, &end, &end64));
  EXPECT_EQ(end.totalEntries, 0xFFFE);
  EXPECT_EQ(end.directoryOffset, 0xFFFFFFFEu);
  EXPECT_TRUE(FillDirectoryTotals(0xFFFF, 1, 2, &end, &end64));
  EXPECT_EQ(end.entriesOnDisk, 0xFFFF);
  EXPECT_EQ(end64.totalEntries, 0xFFFFu);
  EXPECT_TRUE(FillDirectoryTotals(1, 0xFFFFFFFF, 2, &end, &end64));
  EXPECT_EQ(end.directorySize, 0xFFFFFFFFu);
  EXPECT_TRUE(FillDirectoryTotals(1, 2, 0x1'0000'0000, &end, &end64));
  EXPECT_EQ(end.directoryOffset, 0xFFFFFFFFu);
  EXPECT_EQ(end64.directoryOffset, 0x1'0000'0000u);

  // A written ZIP64 trailer is what the reader follows.
  CentralHeaderImage image = SampleImage();
  auto stream = test::StreamOver("");
  ASSERT_CODE(WriteCentralHeader(stream.get(), image), RYL_OK);
  uint64_t directorySize = 0;
  ASSERT_CODE(stream->Tell(&directorySize), RYL_OK);
  EndRecord classic;
  Zip64EndRecord zip64;
  FillDirectoryTotals(1, directorySize, 0, &classic, &zip64);
  classic.directoryOffset = kZip64Marker32;  // only the ZIP64 record knows
  ASSERT_CODE(WriteZip64EndRecord(stream.get(), zip64), RYL_OK);
  ASSERT_CODE(WriteZip64Locator(stream.get(), {0, directorySize, 1}), RYL_OK);
  ASSERT_CODE(WriteEndRecord(stream.get(), classic, u""), RYL_OK);
  const ZipDirectory loaded = test::DirectoryOf(test::ContentsOf(stream.get()));
  ASSERT_TRUE(loaded.zip64.has_value());
  EXPECT_EQ(loaded.zip64->recordOffset, directorySize);
  EXPECT_EQ(loaded.directoryOffset, 0u);
  ASSERT_EQ(loaded.entries.size(), 1u);
  EXPECT_EQ(loaded.entries[0].name, image.name);
}

}  // namespace
}  // namespace ryl::archive
