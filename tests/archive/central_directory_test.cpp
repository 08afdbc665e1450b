// Loading the directory from headers made by hand: the ZIP64 rules, names
// and their encodings, and hostile headers that must end the list cleanly
// without reading beyond what the stream holds.
#include <gtest/gtest.h>

#include "archive/central_directory.h"
#include "archive/local_header.h"
#include "archive_test_support.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;
using test::RawCentral;

RawCentral Named(const Bytes& name) {
  RawCentral header;
  header.name = name;
  return header;
}

Bytes Zip64Extra(std::initializer_list<uint64_t> values) {
  Bytes data;
  for (uint64_t v : values) data += test::Le64(v);
  return test::Le16(1) + test::Le16(static_cast<uint16_t>(data.size())) + data;
}

TEST(ReadZipDirectory, Zip64ValuesAreReadOnlyForMarkedFieldsInTheirFixedOrder) {
  RawCentral offsetOnly = Named("offset");
  offsetOnly.localHeaderOffset = 0xFFFFFFFF;
  offsetOnly.extra = Zip64Extra({0x1'0000'0001});
  RawCentral compressedAndOffset = Named("both");
  compressedAndOffset.compressedSize = 0xFFFFFFFF;
  compressedAndOffset.localHeaderOffset = 0xFFFFFFFF;
  compressedAndOffset.extra = Zip64Extra({0x2'0000'0002, 0x3'0000'0003, 0x9999});  // a spare value is ignored
  RawCentral unmarked = Named("unmarked");
  unmarked.extra = Zip64Extra({0x4'0000'0004});
  const ZipDirectory directory =
      test::DirectoryOf(test::ArchiveOf("", {test::CentralBytes(offsetOnly), test::CentralBytes(compressedAndOffset),
                                             test::CentralBytes(unmarked)}));
  ASSERT_EQ(directory.entries.size(), 3u);
  EXPECT_EQ(directory.entries[0].LocalHeaderOffset(), 0x1'0000'0001u);
  EXPECT_EQ(directory.entries[0].CompressedSize(), 5u);
  EXPECT_EQ(directory.entries[1].CompressedSize(), 0x2'0000'0002u);
  EXPECT_EQ(directory.entries[1].LocalHeaderOffset(), 0x3'0000'0003u);
  EXPECT_EQ(directory.entries[1].UncompressedSize(), 5u);
  ASSERT_TRUE(directory.entries[2].zip64.has_value());
  EXPECT_EQ(directory.entries[2].zip64->DataSize(), 0u);
  EXPECT_EQ(directory.entries[2].UncompressedSize(), 5u);
  // The ZIP64 record is never among the kept extras.
  EXPECT_TRUE(directory.entries[1].extras.empty());
}

TEST(ReadZipDirectory, AZip64RecordShortOfAValueEndsTheDirectoryThereKeepingEarlierEntries) {
  RawCentral lacking = Named("lacking");
  lacking.uncompressedSize = 0xFFFFFFFF;
  lacking.compressedSize = 0xFFFFFFFF;
  lacking.extra = Zip64Extra({7});
  const Bytes first = test::CentralBytes(Named("first"));
  const ZipDirectory directory =
      test::DirectoryOf(test::ArchiveOf("", {first, test::CentralBytes(lacking), test::CentralBytes(Named("third"))}));
  ASSERT_EQ(directory.entries.size(), 1u);
  EXPECT_EQ(directory.entries[0].name, u"first");
  EXPECT_EQ(directory.stop, CentralHeaderResult::kBadZip64Record);
  EXPECT_EQ(directory.stopOffset, first.size());
}

TEST(ReadZipDirectory, NamesAreDecodedByBit11NormalisedAndInvalidOnesSkipped) {
#ifndef _WIN32
  GTEST_SKIP() << "the portable build stands in ISO-8859-1 for the OEM code page; this checks code page 437";
#endif
  RawCentral utf8 = Named("\xC3\xA9t\xC3\xA9\\a//b");
  utf8.flags = kFlagUtf8;
  utf8.comment = "\xE2\x82\xAC";
  RawCentral oem = Named("\x82t\x82\\dir\\");  // code page 437: "été\dir\"
  oem.comment = "\x9C";                         // the pound sign in 437
  RawCentral badUtf8 = Named("bad\xC3");
  badUtf8.flags = kFlagUtf8;
  const Bytes archive = test::ArchiveOf(
      "", {test::CentralBytes(utf8), test::CentralBytes(Named("/rooted")), test::CentralBytes(Named("\\\\")),
           test::CentralBytes(Named("")), test::CentralBytes(badUtf8), test::CentralBytes(oem)});
  const ZipDirectory directory = test::DirectoryOf(archive);
  ASSERT_EQ(directory.entries.size(), 2u);
  EXPECT_EQ(directory.skippedEntries, 4u);
  EXPECT_EQ(directory.stop, CentralHeaderResult::kNotAHeader);
  EXPECT_EQ(directory.entries[0].name, u"\u00e9t\u00e9/a/b");
  EXPECT_EQ(directory.entries[0].comment, u"\u20ac");
  EXPECT_EQ(directory.entries[0].externalAttributes, kExternalAttributesFile);
  EXPECT_EQ(directory.entries[1].name, u"\u00e9t\u00e9/dir/");
  EXPECT_EQ(directory.entries[1].comment, u"\u00a3");
  EXPECT_EQ(directory.entries[1].externalAttributes, kExternalAttributesDirectory);
  // The stored flags are kept as read.
  EXPECT_EQ(directory.entries[0].flags, kFlagUtf8);
  EXPECT_EQ(directory.entries[1].flags, 0u);
}

TEST(ReadZipDirectory, DatesAreConvertedAndAnImpossibleOneKeepsTheEntryWithoutATime) {
  RawCentral impossible = Named("feb30");
  impossible.dosDate = (20 << 9) | (2 << 5) | 30;
  RawCentral zero = Named("zero");
  zero.dosDate = 0;
  zero.dosTime = 0;
  const Bytes first = test::CentralBytes(Named("first"));
  const ZipDirectory a = test::DirectoryOf(
      test::ArchiveOf("", {first, test::CentralBytes(impossible), test::CentralBytes(Named("after"))}));
  ASSERT_EQ(a.entries.size(), 3u);
  EXPECT_EQ(a.entries[1].time, 0u);
  EXPECT_EQ(a.entries[1].dosDate, impossible.dosDate);
  EXPECT_EQ(a.entries[2].name, u"after");
  const ZipDirectory b = test::DirectoryOf(test::ArchiveOf("", {test::CentralBytes(zero)}));
  ASSERT_EQ(b.entries.size(), 1u);
  EXPECT_EQ(b.entries[0].time, 0u);
  EXPECT_EQ(b.entries[0].dosTime, 0u);
  // 2000-01-01 12:00:00 local; under any zone within a day of UTC.
  const uint64_t noonUtc = 125911584000000000 + 12ull * 3600 * 10000000;
  const int64_t skew = static_cast<int64_t>(a.entries[0].time - noonUtc);
  EXPECT_LE(std::abs(skew), 14ll * 3600 * 10000000);
}

TEST(ReadZipDirectory, HostileLengthsAndOffsetsEndTheListWithoutFailingTheLoad) {
  const Bytes good = test::CentralBytes(Named("good"));
  // A name length that runs past the end of the stream.
  RawCentral longName = Named("x");
  longName.nameLengthOverride = 0xFFFF;
  const ZipDirectory a = test::DirectoryOf(test::ArchiveOf("", {good, test::CentralBytes(longName)}));
  EXPECT_EQ(a.entries.size(), 1u);
  EXPECT_EQ(a.stop, CentralHeaderResult::kUnreadable);
  EXPECT_EQ(a.stopOffset, good.size());

  // A comment length that swallows the end record: read as comment only if
  // the bytes are there; here they are not.
  RawCentral longComment = Named("c");
  longComment.commentLengthOverride = 0x8000;
  EXPECT_EQ(test::DirectoryOf(test::ArchiveOf("", {test::CentralBytes(longComment)})).stop,
            CentralHeaderResult::kUnreadable);

  // A header cut in its fixed part.
  const Bytes cut = good.substr(0, 30);
  const ZipDirectory c = test::DirectoryOf(cut + test::EndRecordBytes(1, 46, 0));
  EXPECT_TRUE(c.entries.empty());

  // Directory offsets beyond the stream, and beyond any seek.
  for (uint32_t offset : {0x10000u, 0xFFFFFFFFu}) {
    Bytes archive = test::ArchiveOf("", {good});
    archive.replace(archive.size() - 6, 4, test::Le32(offset));
    const ZipDirectory d = test::DirectoryOf(archive);
    EXPECT_TRUE(d.entries.empty());
    EXPECT_EQ(d.stop, CentralHeaderResult::kUnreadable);
  }

  // Counts and sizes that disagree with what is there: every header is
  // listed, the end record's count is only reported.
  Bytes lying = test::ArchiveOf("", {good, test::CentralBytes(Named("second"))});
  lying.replace(lying.size() - 12, 2, test::Le16(1));     // total entries
  lying.replace(lying.size() - 10, 4, test::Le32(3));     // directory size
  const ZipDirectory e = test::DirectoryOf(lying);
  EXPECT_EQ(e.entries.size(), 2u);
  EXPECT_EQ(e.totalEntries, 1u);
  Bytes many = test::ArchiveOf("", {good});
  many.replace(many.size() - 12, 2, test::Le16(0xFFFF));
  EXPECT_EQ(test::DirectoryOf(many).entries.size(), 1u);
}

TEST(ReadZipDirectory, ExtraFieldsThatOverrunKeepWhatFitsAndStillReachTheComment) {
  RawCentral header = Named("extras");
  // A whole record, then one claiming 200 bytes of the 5 that remain.
  header.extra = test::Le16(0x5455) + test::Le16(1) + "A" + test::Le16(0x7777) + test::Le16(200) + "BBBBB";
  header.comment = "the comment";
  const ZipDirectory directory = test::DirectoryOf(test::ArchiveOf("", {test::CentralBytes(header)}));
  ASSERT_EQ(directory.entries.size(), 1u);
  ASSERT_EQ(directory.entries[0].extras.size(), 1u);
  EXPECT_EQ(directory.entries[0].extras[0].id, 0x5455);
  EXPECT_EQ(directory.entries[0].comment, u"the comment");

  // A ZIP64 record that overruns the extra field is no record at all.
  RawCentral overrun = Named("z");
  overrun.uncompressedSize = 0xFFFFFFFF;
  overrun.extra = test::Le16(1) + test::Le16(16) + test::Le64(3);
  const ZipDirectory z = test::DirectoryOf(test::ArchiveOf("", {test::CentralBytes(overrun)}));
  ASSERT_EQ(z.entries.size(), 1u);
  EXPECT_FALSE(z.entries[0].zip64.has_value());
  EXPECT_EQ(z.entries[0].UncompressedSize(), 0xFFFFFFFFu);
}

TEST(ReadZipDirectory, LeavesTheStreamWhereTheDirectoryEnded) {
  const Bytes body = "0123456789";
  const Bytes central = test::CentralBytes(Named("a"));
  auto stream = test::StreamOver(test::ArchiveOf(body, {central}));
  ZipDirectory directory;
  ASSERT_CODE(ReadZipDirectory(stream.get(), &directory), RYL_OK);
  uint64_t position = 0;
  ASSERT_CODE(stream->Tell(&position), RYL_OK);
  EXPECT_EQ(position, body.size() + central.size());
  EXPECT_EQ(directory.stopOffset, position);
  EXPECT_EQ(directory.directoryOffset, body.size());
}

TEST(ReadLocalHeader, FindsTheDataAfterNameAndExtraAndRefusesAnythingElse) {
  const Bytes local = test::Le32(kLocalHeaderSignature) + test::Le16(20) + test::Le16(0) + test::Le16(0) +
                      test::Le32(0) + test::Le32(0x11111111) + test::Le32(0xFFFFFFFF) + test::Le32(0xFFFFFFFF) +
                      test::Le16(4) + test::Le16(20) + "name" + Zip64Extra({100, 90});
  const Bytes archive = "prefix" + local + "DATA";
  auto stream = test::StreamOver(archive);
  LocalHeaderInfo info;
  ASSERT_CODE(ReadLocalHeader(stream.get(), 6, &info), RYL_OK);
  EXPECT_EQ(info.dataOffset, 6 + local.size());
  EXPECT_EQ(info.zip64.uncompressedSize, 100u);
  EXPECT_EQ(info.zip64.compressedSize, 90u);
  uint64_t position = 0;
  ASSERT_CODE(stream->Tell(&position), RYL_OK);
  EXPECT_EQ(position, info.dataOffset);

  LocalHeaderInfo untouched;
  untouched.dataOffset = 0xDEAD;
  EXPECT_CODE(ReadLocalHeader(stream.get(), 0, &untouched), RYL_E_END_OF_DATA);
  ASSERT_CODE(stream->Tell(&position), RYL_OK);
  EXPECT_EQ(position, 0u);
  EXPECT_CODE(ReadLocalHeader(stream.get(), archive.size() - 10, &untouched), RYL_E_END_OF_DATA);
  EXPECT_CODE(ReadLocalHeader(stream.get(), uint64_t{1} << 63, &untouched), RYL_E_END_OF_DATA);
  EXPECT_CODE(ReadLocalHeader(stream.get(), UINT64_MAX, &untouched), RYL_E_END_OF_DATA);
  // Name and extra that the stream does not hold.
  auto cut = test::StreamOver(local.substr(0, 40));
  EXPECT_CODE(ReadLocalHeader(cut.get(), 0, &untouched), RYL_E_END_OF_DATA);
  EXPECT_EQ(untouched.dataOffset, 0xDEADu);
}

}  // namespace
}  // namespace ryl::archive
