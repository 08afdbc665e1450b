// Finding the end record and the ZIP64 records: the same answers as a
// byte-by-byte backwards scan, in few reads, and a ZIP64 search that no
// garbage can turn into a failed open.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "archive/end_record_search.h"
#include "archive_test_support.h"
#include "streams/positioned_stream.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;

const Bytes kEndSignature = test::Le32(kEndRecordSignature);

// A stream of size zero bytes held nowhere, counting what is read from it.
class ZeroStream final : public streams::PositionedStream<ZeroStream> {
 public:
  explicit ZeroStream(uint64_t size) noexcept : size_(size) {}
  ResultCode RYL_THISCALL GetSize(uint64_t* out) override {
    *out = size_;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override {
    ++reads;
    if (outDone != nullptr) *outDone = 0;
    if (offset >= size_) return RYL_E_END_OF_DATA;
    const uint32_t n = size_ - offset < count ? static_cast<uint32_t>(size_ - offset) : count;
    std::memset(buffer, 0, n);
    bytesRead += n;
    if (outDone != nullptr) *outDone = n;
    if (n == count) return RYL_OK;
    return outDone != nullptr ? RYL_S_END_OF_DATA : RYL_E_END_OF_DATA;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return 0; }

  uint64_t reads = 0;
  uint64_t bytesRead = 0;

 private:
  uint64_t size_;
};

TEST(FindEndRecord, StreamsShorterThan18BytesAreEmptyArchivesAndLongerOnesNeedTheSignature) {
  for (size_t length : {0, 1, 17}) {
    auto stream = test::StreamOver(Bytes(length, 'x'));
    EndRecordLocation location{true, 99};
    ASSERT_CODE(FindEndRecord(stream.get(), &location), RYL_OK);
    EXPECT_FALSE(location.present) << length;
    const ZipDirectory directory = test::DirectoryOf(Bytes(length, 'x'));
    EXPECT_FALSE(directory.hasEndRecord);
    EXPECT_TRUE(directory.entries.empty());
  }
  for (size_t length : {18, 21, 5000}) {
    auto stream = test::StreamOver(Bytes(length, '\0'));
    EndRecordLocation location{true, 99};
    EXPECT_CODE(FindEndRecord(stream.get(), &location), RYL_E_END_OF_DATA);
    EXPECT_EQ(location.offset, 99u);
    ZipDirectory directory;
    directory.skippedEntries = 7;
    EXPECT_CODE(ReadZipDirectory(stream.get(), &directory), RYL_E_END_OF_DATA);
    EXPECT_EQ(directory.skippedEntries, 7u);
  }
  // A signature within the last 18 bytes is beyond where the search starts.
  EXPECT_EQ(test::DirectoryOf(Bytes(30, 'x') + test::EndRecordBytes(0, 0, 0)).endRecordOffset, 30u);
  auto late = test::StreamOver(Bytes(11, 'x') + kEndSignature + Bytes(13, 'y'));
  EndRecordLocation location;
  EXPECT_CODE(FindEndRecord(late.get(), &location), RYL_E_END_OF_DATA);
}

TEST(FindEndRecord, TheEmptyArchiveIs22BytesWithNoEntries) {
  const Bytes empty = test::EndRecordBytes(0, 0, 0);
  ASSERT_EQ(empty.size(), 22u);
  const ZipDirectory directory = test::DirectoryOf(empty);
  EXPECT_TRUE(directory.hasEndRecord);
  EXPECT_EQ(directory.endRecordOffset, 0u);
  EXPECT_TRUE(directory.entries.empty());
  EXPECT_EQ(directory.stop, CentralHeaderResult::kNotAHeader);
  EXPECT_FALSE(directory.zip64.has_value());
}

TEST(FindEndRecord, ASignatureInsideTheCommentLosesToTheRecordThatEndsTheStream) {
  const Bytes entry = test::CentralBytes({});
  struct Case {
    const char* what;
    Bytes comment;
    bool realRecordWins;
  };
  const Case cases[] = {
      // A whole empty archive inside the comment, text after it: its own
      // comment length does not reach the end.
      {"record mid-comment", "x " + test::EndRecordBytes(0, 0, 0) + " tail", true},
      // Too close to the end to hold a record at all.
      {"cut signature", "comment " + kEndSignature + Bytes(15, 'z'), true},
      // A comment length that overshoots the end.
      {"overshooting length", kEndSignature + Bytes(16, '\0') + test::Le16(900) + "ab", true},
      // A false record of no comment 22 bytes from the end ends the stream
      // as well as the real one does; the later one is taken.
      {"record at the very end", "comment " + test::EndRecordBytes(0, 0, 0), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes archive = test::ArchiveOf("", {entry}, c.comment);
    const size_t real = archive.size() - 22 - c.comment.size();
    const ZipDirectory directory = test::DirectoryOf(archive);
    if (c.realRecordWins) {
      EXPECT_EQ(directory.endRecordOffset, real);
      EXPECT_EQ(directory.entries.size(), 1u);
    } else {
      EXPECT_EQ(directory.endRecordOffset, archive.size() - 22);
    }
  }
  // Bytes appended after an archive: no record ends the stream, and the
  // last signature stands as it always did.
  const Bytes padded = test::ArchiveOf("", {entry}) + Bytes(40, 'p');
  EXPECT_EQ(test::DirectoryOf(padded).endRecordOffset, padded.size() - 62);
  EXPECT_EQ(test::DirectoryOf(padded).entries.size(), 1u);
}

TEST(FindEndRecord, CommentLongerThanTheStreamFailsWithoutTouchingOutputs) {
  Bytes record = test::EndRecordBytes(0, 0, 0, "abc");
  record[20] = 10;  // claims ten bytes of comment, three follow
  auto stream = test::StreamOver(record);
  EndRecord out;
  out.diskNumber = 77;
  std::u16string comment = u"kept";
  EXPECT_CODE(ReadEndRecord(stream.get(), 0, &out, &comment), RYL_E_END_OF_DATA);
  EXPECT_EQ(out.diskNumber, 77u);
  EXPECT_EQ(comment, u"kept");
}

TEST(ScanBackwardsForSignature, AgreesWithAByteByByteScanAcrossEveryBlockBoundary) {
  std::mt19937 random(7);
  Bytes data(40000, '\0');
  for (char& c : data) c = static_cast<char>(random() % 80);  // never 'P' (0x50)
  const uint64_t planted = 20000;
  data.replace(planted, 4, kEndSignature);
  data.replace(3, 4, kEndSignature);
  auto stream = test::StreamOver(data);
  auto naive = [&](uint64_t start) -> std::optional<uint64_t> {
    for (uint64_t p = start;; --p) {
      if (p + 4 > data.size()) return std::nullopt;  // the first read fails
      if (data.compare(p, 4, kEndSignature) == 0) return p;
      if (p == 0) return std::nullopt;
    }
  };
  // Every start from just below the signature to far above it puts the
  // signature at every offset of the first blocks, straddling each seam.
  for (uint64_t start = planted - 3; start < data.size(); ++start) {
    std::optional<uint64_t> found;
    ASSERT_CODE(ScanBackwardsForSignature(stream.get(), start, kEndRecordSignature, &found), RYL_OK);
    ASSERT_EQ(found, naive(start)) << "start " << start;
  }
  for (uint64_t start : {uint64_t{0}, uint64_t{2}, uint64_t{3}, uint64_t{6}, planted - 4}) {
    std::optional<uint64_t> found;
    ASSERT_CODE(ScanBackwardsForSignature(stream.get(), start, kEndRecordSignature, &found), RYL_OK);
    EXPECT_EQ(found, naive(start)) << "start " << start;
  }
  std::optional<uint64_t> found = 5;
  ASSERT_CODE(ScanBackwardsForSignature(stream.get(), UINT64_MAX, kEndRecordSignature, &found), RYL_OK);
  EXPECT_FALSE(found.has_value());
}

TEST(FindEndRecord, AGigabyteWithoutSignatureIsReadOnceInFewReads) {
  const uint64_t size = uint64_t{1} << 30;
  ZeroStream stream(size);
  EndRecordLocation location;
  EXPECT_CODE(FindEndRecord(&stream, &location), RYL_E_END_OF_DATA);
  EXPECT_LT(stream.reads, 1100u);
  // Every byte once, plus three bytes of overlap per block.
  EXPECT_GE(stream.bytesRead, size - 18);
  EXPECT_LT(stream.bytesRead, size + 4 * stream.reads);
}

// One stored entry "a.txt" with a ZIP64 trailer whose locator the test
// spoils; the classic end record describes the same directory.
struct Zip64Archive {
  Bytes bytes;
  uint64_t zip64RecordOffset = 0;
  uint64_t locatorOffset = 0;
};

Zip64Archive MakeZip64Archive(uint64_t locatorTarget, bool keepRecord = true, uint64_t zip64DirectoryOffset = 0) {
  Zip64Archive a;
  const Bytes central = test::CentralBytes({});
  a.bytes = central;
  a.zip64RecordOffset = a.bytes.size();
  Zip64EndRecord record;
  record.entriesOnDisk = record.totalEntries = 1;
  record.directorySize = central.size();
  record.directoryOffset = zip64DirectoryOffset;
  const Zip64EndRecordBytes recordBytes = EncodeZip64EndRecord(record);
  if (keepRecord) a.bytes.append(reinterpret_cast<const char*>(recordBytes.data()), recordBytes.size());
  a.locatorOffset = a.bytes.size();
  const Zip64LocatorBytes locator = EncodeZip64Locator({0, locatorTarget, 1});
  a.bytes.append(reinterpret_cast<const char*>(locator.data()), locator.size());
  a.bytes += test::EndRecordBytes(1, static_cast<uint32_t>(central.size()), 0);
  return a;
}

TEST(FindZip64EndRecord, FollowsAGoodLocatorAndItsValuesReplaceTheClassicOnes) {
  const uint64_t recordOffset = test::CentralBytes({}).size();
  const Zip64Archive archive = MakeZip64Archive(recordOffset);
  const ZipDirectory directory = test::DirectoryOf(archive.bytes);
  ASSERT_TRUE(directory.zip64.has_value());
  EXPECT_EQ(directory.zip64->recordOffset, recordOffset);
  EXPECT_EQ(directory.zip64->locatorOffset, archive.locatorOffset);
  EXPECT_EQ(directory.totalEntries, 1u);
  ASSERT_EQ(directory.entries.size(), 1u);

  // A locator pointing past its record still reaches it backwards.
  const ZipDirectory past = test::DirectoryOf(MakeZip64Archive(archive.locatorOffset + 3).bytes);
  ASSERT_TRUE(past.zip64.has_value());
  EXPECT_EQ(past.zip64->recordOffset, recordOffset);

  // The ZIP64 record's directory offset is the one used.
  const ZipDirectory moved = test::DirectoryOf(MakeZip64Archive(recordOffset, true, 5).bytes);
  EXPECT_EQ(moved.directoryOffset, 5u);
  EXPECT_TRUE(moved.entries.empty());
  // Even an offset no seek can reach only empties the list.
  const ZipDirectory unreachable = test::DirectoryOf(MakeZip64Archive(recordOffset, true, uint64_t{1} << 63).bytes);
  EXPECT_TRUE(unreachable.entries.empty());
  EXPECT_EQ(unreachable.stop, CentralHeaderResult::kUnreadable);
}

TEST(FindZip64EndRecord, GarbageLocatorsFallBackToTheClassicEndRecord) {
  for (uint64_t target : {uint64_t{1} << 40, uint64_t{1} << 63, UINT64_MAX, uint64_t{10}}) {
    // Without a ZIP64 record anywhere, or with the locator pointing beyond
    // the stream or before the record.
    for (bool keepRecord : {false, true}) {
      const Zip64Archive archive = MakeZip64Archive(target, keepRecord);
      const ZipDirectory directory = test::DirectoryOf(archive.bytes);
      EXPECT_FALSE(directory.zip64.has_value()) << target << " " << keepRecord;
      EXPECT_EQ(directory.directoryOffset, 0u);
      EXPECT_EQ(directory.entries.size(), 1u) << target << " " << keepRecord;
    }
  }
  // A ZIP64 signature with too few bytes after it for a whole record: the
  // locator points into the end record's comment.
  const Bytes central = test::CentralBytes({});
  const uint64_t endOffset = central.size() + kZip64LocatorSize;
  const uint64_t fakeOffset = endOffset + 22 + 2;
  const Zip64LocatorBytes locator = EncodeZip64Locator({0, fakeOffset, 1});
  const Bytes archive = central + Bytes(reinterpret_cast<const char*>(locator.data()), locator.size()) +
                        test::EndRecordBytes(1, static_cast<uint32_t>(central.size()), 0,
                                             "xx" + test::Le32(kZip64EndRecordSignature) + "yyyy");
  auto stream = test::StreamOver(archive);
  EXPECT_FALSE(FindZip64EndRecord(stream.get(), endOffset).has_value());
  EXPECT_EQ(test::DirectoryOf(archive).entries.size(), 1u);
  // An end record too near the start to have a locator before it.
  EXPECT_FALSE(FindZip64EndRecord(stream.get(), 19).has_value());
}

}  // namespace
}  // namespace ryl::archive
