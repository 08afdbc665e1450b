// The archive reader as a host reaches it: the ZIP service from the archive
// factory, archives opened from files made by other tools or by hand, and
// entries extracted to host streams and files.
#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>

#include "support/temp_dir.h"
#include "zip_test_support.h"

namespace ryl::test {
namespace {

bool FileExistsW(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Expected {
  std::string archive;
  std::u16string name;
  Bytes content;
  std::u16string password;
};

std::vector<Expected> LoadExpected() {
  std::vector<Expected> rows;
  std::istringstream lines(ReadFixture("expected.tsv"));
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) fields.push_back(cell);
    if (fields.size() != 5 || fields[0] != "entry") continue;
    rows.push_back({fields[1], U16(FromHex(fields[2])), FromHex(fields[3]), U16(FromHex(fields[4]))});
  }
  return rows;
}

class ZipReaderTest : public ZipServiceTest {
 protected:
  ArchiveEntry* Find(Archive* archive, const std::u16string& name) {
    ArchiveEntry* entry = nullptr;
    const ResultCode rc = archive->FindEntry(&entry, W(name), Len(name));
    EXPECT_CODE(rc, RYL_OK);
    return rc < 0 ? nullptr : entry;
  }
  ResultCode ExtractToFile(const std::string& fixture, const std::u16string& name, const std::wstring& destination,
                           const std::u16string& password = u"", int32_t selector = 0) {
    const std::wstring path = FixturePath(fixture);
    return service_->ExtractEntryToFile(path.c_str(), static_cast<uint32_t>(path.size()), W(name), Len(name),
                                        destination.c_str(), 0, W(password), Len(password), selector);
  }
  TempDir temp_;
};

// --- Interop: archives made by other tools -------------------------------------

TEST_F(ZipReaderTest, EveryEntryOfEveryToolMadeArchiveExtractsByteIdentical) {
  const std::vector<Expected> rows = LoadExpected();
  ASSERT_GE(rows.size(), 58u) << "expected.tsv lists the tool-made entries";
  std::map<std::string, int> perArchive;
  for (const Expected& row : rows) ++perArchive[row.archive];
  for (const auto& [fixture, count] : perArchive) {
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr) << fixture;
    EXPECT_EQ(archive->GetEntryCount(), static_cast<uint32_t>(count)) << fixture;
    archive->Release();
  }
  int index = 0;
  for (const Expected& row : rows) {
    SCOPED_TRACE(row.archive + " entry " + std::to_string(index++));
    Archive* archive = Open(row.archive);
    ASSERT_NE(archive, nullptr);
    ArchiveEntry* entry = Find(archive, row.name);
    if (entry != nullptr) {
      if (!row.password.empty()) {
        ASSERT_CODE(entry->SetPassword(W(row.password), -1, 0), RYL_OK);
      }
      Bytes data;
      EXPECT_CODE(Extract(entry, &data), RYL_OK);
      EXPECT_EQ(data.size(), row.content.size());
      EXPECT_TRUE(data == row.content);
      EXPECT_EQ(entry->GetUncompressedSize(), row.content.size());
      entry->Release();
    }
    archive->Release();
    if (row.name.back() == u'/') continue;
    const std::wstring target = temp_.File(L"out.bin");
    EXPECT_CODE(ExtractToFile(row.archive, row.name, target, row.password), RYL_OK);
    EXPECT_TRUE(ReadWholeFile(target) == row.content);
    DeleteFileW(target.c_str());
  }
}

TEST_F(ZipReaderTest, EncryptedEntriesNeedTheRightPasswordAndLeaveNoFileOtherwise) {
  for (const std::string fixture : {"infozip_encrypted.zip", "sevenzip_encrypted.zip", "infozip_pipe_encrypted.zip"}) {
    SCOPED_TRACE(fixture);
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr);
    EntryEnumerator* enumerator = nullptr;
    ASSERT_CODE(archive->CreateEnumerator(&enumerator), RYL_OK);
    ArchiveEntry* entry = nullptr;
    ASSERT_CODE(enumerator->Current(&entry), RYL_OK);
    EXPECT_EQ(entry->IsEncrypted(), 1);
    Bytes data;
    SinkHostStream sink(Bytes("prefix"));
    EXPECT_CODE(entry->ExtractTo(&sink), RYL_E_PASSWORD_REQUIRED);
    EXPECT_EQ(sink.data, "prefix");
    EXPECT_CODE(entry->SetPassword(W(u"not the password"), -1, 0), RYL_OK);
    EXPECT_CODE(Extract(entry, &data), RYL_E_WRONG_PASSWORD);
    EXPECT_EQ(entry->IsEncrypted(), 1) << "a password on an archive entry only decrypts";
    EXPECT_CODE(entry->SetPassword(W(u"zip secret"), 10, 7), RYL_OK);
    EXPECT_CODE(Extract(entry, &data), RYL_OK);
    EXPECT_FALSE(data.empty());
    EXPECT_CODE(entry->SetPassword(W(u"zip secret"), -1, 1), RYL_E_UNSUPPORTED_VERSION);
    RylStringView name = {nullptr, 0};
    entry->GetName(&name);
    const std::u16string entryName(reinterpret_cast<const char16_t*>(name.data), name.length);
    enumerator->Release();
    archive->Release();

    const std::wstring target = temp_.File(L"secret.out");
    EXPECT_CODE(ExtractToFile(fixture, entryName, target), RYL_E_PASSWORD_REQUIRED);
    EXPECT_FALSE(FileExistsW(target));
    EXPECT_CODE(ExtractToFile(fixture, entryName, target, u"wrong"), RYL_E_WRONG_PASSWORD);
    EXPECT_FALSE(FileExistsW(target));
    EXPECT_CODE(ExtractToFile(fixture, entryName, target, u"zip secret", 1), RYL_E_UNSUPPORTED_VERSION);
    EXPECT_FALSE(FileExistsW(target));
    EXPECT_CODE(ExtractToFile(fixture, entryName, target, u"zip secret"), RYL_OK);
    EXPECT_EQ(ReadWholeFile(target), data);
    DeleteFileW(target.c_str());
  }
}

TEST_F(ZipReaderTest, APasswordChangesTheFlagOnlyOfAnEmptyEntryWhoseLocalHeaderWasRead) {
  Archive* archive = Open("infozip_encrypted.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* empty = Find(archive, u"empty.txt");
  ArchiveEntry* text = Find(archive, u"text.txt");
  ASSERT_NE(empty, nullptr);
  ASSERT_NE(text, nullptr);
  // Before its local header is known, an empty entry keeps its flag too.
  EXPECT_CODE(empty->SetPassword(W(u""), 0, 0), RYL_OK);
  EXPECT_EQ(empty->IsEncrypted(), 1);
  EXPECT_CODE(empty->SetPassword(W(u"zip secret"), -1, 0), RYL_OK);
  Bytes data = "x";
  EXPECT_CODE(Extract(empty, &data), RYL_OK);
  EXPECT_EQ(data, "");
  EXPECT_CODE(empty->SetPassword(W(u""), 0, 0), RYL_OK);
  EXPECT_EQ(empty->IsEncrypted(), 0);
  EXPECT_CODE(empty->SetPassword(nullptr, 0, 0), RYL_OK);
  EXPECT_EQ(empty->IsEncrypted(), 0);
  EXPECT_CODE(empty->SetPassword(W(u"again"), -1, 0), RYL_OK);
  EXPECT_EQ(empty->IsEncrypted(), 1);
  // An entry with data keeps its flag whatever the password.
  EXPECT_CODE(text->SetPassword(W(u"zip secret"), -1, 0), RYL_OK);
  EXPECT_CODE(Extract(text, &data), RYL_OK);
  EXPECT_CODE(text->SetPassword(W(u""), 0, 0), RYL_OK);
  EXPECT_EQ(text->IsEncrypted(), 1);
  EXPECT_CODE(Extract(text, &data), RYL_E_PASSWORD_REQUIRED);
  empty->Release();
  text->Release();
  archive->Release();
}

TEST_F(ZipReaderTest, GettersReportWhatTheDirectorySays) {
  Archive* archive = Open("infozip_deflate.zip");
  ASSERT_NE(archive, nullptr);
  RylStringView view = {nullptr, 99};
  EXPECT_EQ(archive->GetComment(&view), &view);
  EXPECT_EQ(Utf8(view), "an archive comment");
  EXPECT_EQ(archive->GetEntryCount(), 5u);
  ArchiveEntry* text = Find(archive, u"text.txt");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GetMethod(), 2u);
  EXPECT_EQ(text->IsDirectory(), 0);
  EXPECT_EQ(text->IsEncrypted(), 0);
  EXPECT_EQ(text->IsVersionSupported(), 1);
  EXPECT_LT(text->GetCompressedSize(), text->GetUncompressedSize());
  EXPECT_EQ(text->GetComment(&view), &view);
  EXPECT_EQ(Utf8(view), "an entry comment");
  // 2022-03-04 05:06:08 local time; the zone of the run may shift it by
  // hours, never by years.
  const uint64_t time = text->GetTime();
  EXPECT_GT(time, 132900000000000000ull);
  EXPECT_LT(time, 132920000000000000ull);
  ArchiveEntry* directory = Find(archive, u"sub/");
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(directory->IsDirectory(), 1);
  EXPECT_EQ(directory->GetUncompressedSize(), 0u);
  EXPECT_EQ(directory->GetCompressedSize(), 0u);
  directory->GetComment(&view);
  EXPECT_EQ(view.length, 0u);
  ASSERT_NE(view.data, nullptr);
  EXPECT_EQ(view.data[0], 0);
  directory->Release();
  text->Release();
  archive->Release();

  archive = Open("python_bzip2.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* bz = Find(archive, u"text.txt");
  ASSERT_NE(bz, nullptr);
  EXPECT_EQ(bz->GetMethod(), 3u);
  EXPECT_EQ(bz->IsVersionSupported(), 1) << "bzip2 entries (version 46) are read";
  bz->Release();
  ArchiveEntry* utf8 = Find(archive, u"\u00fcber/\u65e5\u672c.txt");
  ASSERT_NE(utf8, nullptr);
  utf8->Release();
  archive->GetComment(&view);
  EXPECT_EQ(view.length, 0u);
  archive->Release();

  archive = Open("infozip_stored.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* stored = Find(archive, u"noise.bin");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->GetMethod(), 1u);
  EXPECT_EQ(stored->GetCompressedSize(), 70000u);
  stored->Release();
  archive->Release();
}

TEST_F(ZipReaderTest, NamesMatchWithEitherSeparatorButCaseCounts) {
  Archive* archive = Open("plain.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* entry = reinterpret_cast<ArchiveEntry*>(0x1234);
  EXPECT_CODE(archive->FindEntry(&entry, W(u"a\\b.txt"), 7), RYL_OK);
  ASSERT_NE(entry, reinterpret_cast<ArchiveEntry*>(0x1234));
  RylStringView view = {nullptr, 0};
  entry->GetName(&view);
  EXPECT_EQ(Utf8(view), "a/b.txt");
  entry->Release();
  entry = reinterpret_cast<ArchiveEntry*>(0x1234);
  EXPECT_CODE(archive->FindEntry(&entry, W(u"A/B.txt"), 7), RYL_E_ELEMENT_NOT_FOUND);
  EXPECT_CODE(archive->FindEntry(&entry, W(u"a/b.tx"), 6), RYL_E_ELEMENT_NOT_FOUND);
  EXPECT_CODE(archive->FindEntry(&entry, W(u"a/b.txt"), 0xFFFFFFFFu), RYL_OK) << "0xFFFFFFFF: up to the zero unit";
  if (entry != reinterpret_cast<ArchiveEntry*>(0x1234)) entry->Release();
  archive->Release();

  const std::wstring path = FixturePath("plain.zip");
  uint8_t contains = 7;
  EXPECT_CODE(service_->ContainsEntry(&contains, path.c_str(), static_cast<uint32_t>(path.size()), W(u"a\\b.txt"), 7),
              RYL_OK);
  EXPECT_EQ(contains, 1);
  EXPECT_CODE(service_->ContainsEntry(&contains, path.c_str(), static_cast<uint32_t>(path.size()), W(u"A/b.txt"), 7),
              RYL_OK);
  EXPECT_EQ(contains, 0);
  const std::wstring target = temp_.File(L"x");
  EXPECT_CODE(ExtractToFile("plain.zip", u"missing", target), RYL_E_FILE_NOT_FOUND);
  EXPECT_FALSE(FileExistsW(target));
}

TEST_F(ZipReaderTest, EnumeratorWalksEveryEntryAndReportsTheEnd) {
  Archive* archive = Open("plain.zip");
  ASSERT_NE(archive, nullptr);
  EntryEnumerator* enumerator = nullptr;
  ASSERT_CODE(archive->CreateEnumerator(&enumerator), RYL_OK);
  ArchiveEntry* entry = nullptr;
  RylStringView view = {nullptr, 0};
  ASSERT_CODE(enumerator->Current(&entry), RYL_OK);
  EXPECT_EQ(Utf8(*entry->GetName(&view)), "a/b.txt");
  EXPECT_CODE(enumerator->MoveNext(), RYL_OK);
  ASSERT_CODE(enumerator->Current(&entry), RYL_OK);
  EXPECT_EQ(Utf8(*entry->GetName(&view)), "second.txt");
  EXPECT_CODE(enumerator->MoveNext(), RYL_S_NO_MORE_ITEMS);
  ArchiveEntry* untouched = reinterpret_cast<ArchiveEntry*>(0x5678);
  EXPECT_CODE(enumerator->Current(&untouched), RYL_E_NO_MORE_ITEMS);
  EXPECT_EQ(untouched, reinterpret_cast<ArchiveEntry*>(0x5678));
  EXPECT_CODE(enumerator->MoveNext(), RYL_E_NO_MORE_ITEMS);
  EXPECT_CODE(enumerator->Reset(), RYL_OK);
  ASSERT_CODE(enumerator->Current(&entry), RYL_OK);
  EXPECT_EQ(Utf8(*entry->GetName(&view)), "a/b.txt");
  // The handle the enumerator keeps works like any other.
  Bytes data;
  EXPECT_CODE(Extract(entry, &data), RYL_OK);
  EXPECT_EQ(data.size(), 210u);
  enumerator->Release();

  Archive* empty = Open("end_only.zip");
  ASSERT_NE(empty, nullptr);
  ASSERT_CODE(empty->CreateEnumerator(&enumerator), RYL_OK);
  EXPECT_CODE(enumerator->Current(&untouched), RYL_E_NO_MORE_ITEMS);
  EXPECT_CODE(enumerator->MoveNext(), RYL_E_NO_MORE_ITEMS);
  enumerator->Release();
  empty->Release();
  archive->Release();
}

TEST_F(ZipReaderTest, ExtractingTwiceFromOneHandleWorksAndAppendsAtThePosition) {
  Archive* archive = Open("python_deflated.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* entry = Find(archive, u"text.txt");
  ASSERT_NE(entry, nullptr);
  SinkHostStream sink(Bytes("head:"));
  ASSERT_CODE(entry->ExtractTo(&sink), RYL_OK);
  const size_t once = sink.data.size() - 5;
  EXPECT_EQ(once, entry->GetUncompressedSize());
  ASSERT_CODE(entry->ExtractTo(&sink), RYL_OK);
  EXPECT_EQ(sink.data.size(), 5 + 2 * once);
  EXPECT_EQ(sink.data.substr(5, once), sink.data.substr(5 + once));
  EXPECT_CODE(entry->ExtractTo(nullptr), RYL_E_INVALID_ARG);
  entry->Release();
  archive->Release();
}

TEST_F(ZipReaderTest, ExtractTo_ReturnsTheWriteErrorAndCutsBackAfterPartialOutput) {
  Archive* archive = Open("python_deflated.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* entry = Find(archive, u"noise.bin");
  ASSERT_NE(entry, nullptr);
  SinkHostStream sink(Bytes("start"));
  // 70,000 bytes take at least two writes whatever the extraction's block
  // size: the first is accepted, the second fails.
  sink.writesAllowed = 1;
  sink.writeFailure = RYL_RESULT(0xE0010049u);
  EXPECT_CODE(entry->ExtractTo(&sink), RYL_RESULT(0xE0010049u));
  EXPECT_EQ(sink.writes, 2);
  EXPECT_EQ(sink.data, "start");
  // The failed copy closed the entry's streams: the next one starts afresh.
  Bytes data;
  EXPECT_CODE(Extract(entry, &data), RYL_OK);
  EXPECT_EQ(data.size(), 70000u);
  entry->Release();
  archive->Release();
}

// --- Edge cases of the directory -------------------------------------------------

TEST_F(ZipReaderTest, EmptyStreamsAndABareEndRecordAreEmptyArchives) {
  for (const std::string fixture : {"empty.zip", "end_only.zip"}) {
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr) << fixture;
    EXPECT_EQ(archive->GetEntryCount(), 0u);
    RylStringView view = {nullptr, 5};
    archive->GetComment(&view);
    EXPECT_EQ(view.length, 0u);
    archive->Release();
  }
}

TEST_F(ZipReaderTest, OpeningAMissingPathMakesAnEmptyFileAndAnEmptyArchive) {
  const std::wstring path = temp_.File(L"new.zip");
  Archive* archive = nullptr;
  ASSERT_CODE(service_->OpenArchive(&archive, path.c_str(), static_cast<uint32_t>(path.size())), RYL_OK);
  EXPECT_EQ(archive->GetEntryCount(), 0u);
  archive->Release();
  EXPECT_TRUE(FileExistsW(path));
  EXPECT_EQ(ReadWholeFile(path), "");
  DeleteFileW(path.c_str());
}

TEST_F(ZipReaderTest, AStreamWithoutAnEndRecordIsRefusedAndLeavesTheOutputAlone) {
  const std::wstring path = temp_.File(L"garbage.zip");
  ASSERT_TRUE(WriteWholeFile(path, std::string(300, 'x')));
  Archive* archive = reinterpret_cast<Archive*>(0xABCD);
  EXPECT_CODE(service_->OpenArchive(&archive, path.c_str(), static_cast<uint32_t>(path.size())), RYL_E_END_OF_DATA);
  EXPECT_EQ(archive, reinterpret_cast<Archive*>(0xABCD));
  uint8_t contains = 9;
  EXPECT_CODE(service_->ContainsEntry(&contains, path.c_str(), static_cast<uint32_t>(path.size()), W(u"a"), 1),
              RYL_E_END_OF_DATA);
  EXPECT_EQ(contains, 9);
  // The file is closed again: it can be deleted at once.
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(ZipReaderTest, AFalseEndRecordAtTheEndOfTheCommentWins) {
  Archive* archive = Open("false_end.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->GetEntryCount(), 0u) << "the scan from the end meets the comment's record first";
  archive->Release();
}

TEST_F(ZipReaderTest, ArchivesEveryOtherReaderTakesAreReadWhole) {
  Bytes body;
  for (int i = 0; i < 10; ++i) body += "hand-made entry data\n";
  // Behind a stub, with a false end record inside the comment, and with a
  // host system in the high byte of "version needed".
  for (const std::string fixture : {"behind_stub.zip", "end_in_comment.zip", "version_unix.zip"}) {
    SCOPED_TRACE(fixture);
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->GetEntryCount(), 2u);
    ArchiveEntry* entry = Find(archive, u"a/b.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->IsVersionSupported(), 1);
    Bytes data;
    EXPECT_CODE(Extract(entry, &data), RYL_OK);
    EXPECT_EQ(data, body);
    entry->Release();
    archive->Release();
    const std::wstring target = temp_.File(L"whole.out");
    EXPECT_CODE(ExtractToFile(fixture, u"second.txt", target), RYL_OK);
    EXPECT_EQ(ReadWholeFile(target), "2nd\n");
  }
}

TEST_F(ZipReaderTest, DataDecodingPastItsStatedSizeFailsAndLeavesNothing) {
  Archive* archive = Open("understated.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* entry = Find(archive, u"big.bin");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetUncompressedSize(), 10u);
  Bytes data;
  EXPECT_CODE(Extract(entry, &data), RYL_E_BAD_FORMAT);
  EXPECT_TRUE(data.empty()) << "cut back to where it started";
  entry->Release();
  archive->Release();
  const std::wstring target = temp_.File(L"big.out");
  EXPECT_CODE(ExtractToFile("understated.zip", u"big.bin", target), RYL_E_BAD_FORMAT);
  EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES) << "no file is left";
}

TEST_F(ZipReaderTest, AZip64LocatorPointingAtGarbageLeavesTheClassicFieldsInCharge) {
  Archive* archive = Open("bad_locator.zip");
  ASSERT_NE(archive, nullptr);
  ASSERT_EQ(archive->GetEntryCount(), 1u);
  ArchiveEntry* entry = Find(archive, u"real.txt");
  ASSERT_NE(entry, nullptr);
  Bytes data;
  EXPECT_CODE(Extract(entry, &data), RYL_OK);
  EXPECT_EQ(data.size(), 210u);
  entry->Release();
  archive->Release();
}

TEST_F(ZipReaderTest, ACentralHeaderWhoseZip64RecordLacksAValueEndsTheDirectory) {
  Archive* archive = Open("short_zip64_record.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(Names(archive), std::vector<std::u16string>{u"first.txt"});
  archive->Release();
}

TEST_F(ZipReaderTest, Zip64ArchivesFromToolsExtract) {
  for (const std::string fixture : {"infozip_zip64.zip", "python_zip64.zip"}) {
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr);
    ArchiveEntry* entry = Find(archive, u"noise.bin");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->IsVersionSupported(), 1) << "ZIP64 entries (version 45) are read";
    EXPECT_EQ(entry->GetUncompressedSize(), 70000u);
    Bytes data;
    EXPECT_CODE(Extract(entry, &data), RYL_OK);
    EXPECT_EQ(data.size(), 70000u);
    entry->Release();
    archive->Release();
  }
}

TEST_F(ZipReaderTest, Zip64EndRecordAndCentralRecordsCarryEveryValue) {
  Archive* archive = Open("zip64_everything.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(Names(archive), (std::vector<std::u16string>{u"first.txt", u"second.txt"}));
  ArchiveEntry* second = Find(archive, u"second.txt");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetUncompressedSize(), 210u);
  EXPECT_EQ(second->GetCompressedSize(), 210u);
  Bytes data;
  EXPECT_CODE(Extract(second, &data), RYL_OK);
  Bytes expected;
  for (int i = 0; i < 10; ++i) expected += "hand-made entry data\n";
  EXPECT_EQ(data, expected);
  second->Release();
  archive->Release();
}

// --- Methods and versions ------------------------------------------------------

TEST_F(ZipReaderTest, AnUnknownMethodIsDeliveredAsItsStoredBytes) {
  Archive* archive = Open("method98.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* entry = Find(archive, u"raw.bin");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetMethod(), 0u);
  EXPECT_EQ(entry->GetMethodId(), 98u);
  Bytes data;
  EXPECT_CODE(Extract(entry, &data), RYL_OK);
  Bytes expected;
  for (int i = 0; i < 10; ++i) expected += "hand-made entry data\n";
  EXPECT_EQ(data, expected);
  entry->Release();
  archive->Release();
}

// LZMA is decoded now: stored bytes that only claim to be LZMA are damaged
// data, and nothing of them reaches the destination.
TEST_F(ZipReaderTest, BytesThatAreNotLzmaUnderMethod14AreRefused) {
  Archive* archive = Open("method14.zip");
  ASSERT_NE(archive, nullptr);
  ArchiveEntry* entry = Find(archive, u"raw.bin");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetMethod(), 0u);
  EXPECT_EQ(entry->GetMethodId(), 14u);
  EXPECT_EQ(entry->IsVersionSupported(), 1);
  Bytes data;
  EXPECT_CODE(Extract(entry, &data), RYL_E_BAD_FORMAT);
  EXPECT_EQ(data, "");
  entry->Release();
  archive->Release();
}

TEST_F(ZipReaderTest, VersionsAboveTwentyAreRefusedExceptTheZip64Ones) {
  Bytes expected;
  for (int i = 0; i < 10; ++i) expected += "hand-made entry data\n";
  for (const int version : {45, 46, 51, 63}) {
    SCOPED_TRACE(version);
    const std::string fixture = "version" + std::to_string(version) + ".zip";
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr);
    ASSERT_EQ(archive->GetEntryCount(), 1u) << "listed whatever its version";
    ArchiveEntry* entry = Find(archive, u"v.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->IsVersionSupported(), version == 45 || version == 46 ? 1 : 0);
    Bytes data;
    const std::wstring target = temp_.File(L"v.out");
    if (version == 45 || version == 46) {
      EXPECT_CODE(Extract(entry, &data), RYL_OK);
      EXPECT_EQ(data, expected);
      EXPECT_CODE(ExtractToFile(fixture, u"v.txt", target), RYL_OK);
      EXPECT_EQ(ReadWholeFile(target), expected);
      DeleteFileW(target.c_str());
    } else {
      SinkHostStream sink(Bytes("keep"));
      EXPECT_CODE(entry->ExtractTo(&sink), RYL_E_ENTRY_UNSUPPORTED);
      EXPECT_EQ(sink.data, "keep");
      EXPECT_CODE(ExtractToFile(fixture, u"v.txt", target), RYL_E_ENTRY_UNSUPPORTED);
      EXPECT_FALSE(FileExistsW(target));
    }
    entry->Release();
    archive->Release();
  }
}

// --- Damaged data ----------------------------------------------------------------

TEST_F(ZipReaderTest, ExtractTo_CutsDestinationBackOnCrcMismatch) {
  for (const std::string fixture : {"damaged.zip", "damaged_deflate.zip"}) {
    SCOPED_TRACE(fixture);
    Archive* archive = Open(fixture);
    ASSERT_NE(archive, nullptr);
    EntryEnumerator* enumerator = nullptr;
    ASSERT_CODE(archive->CreateEnumerator(&enumerator), RYL_OK);
    ArchiveEntry* entry = nullptr;
    ASSERT_CODE(enumerator->Current(&entry), RYL_OK);
    SinkHostStream sink(Bytes("before"));
    EXPECT_CODE(entry->ExtractTo(&sink), RYL_E_BAD_FORMAT);
    EXPECT_EQ(sink.data, "before");
    EXPECT_EQ(sink.setSizeCalls, 1);
    // Without a known position nothing is cut back.
    SinkHostStream blind(Bytes("x"));
    blind.tellFails = true;
    EXPECT_CODE(entry->ExtractTo(&blind), RYL_E_BAD_FORMAT);
    EXPECT_EQ(blind.setSizeCalls, 0);
    EXPECT_GT(blind.data.size(), 1u);
    RylStringView view = {nullptr, 0};
    entry->GetName(&view);
    const std::u16string name(reinterpret_cast<const char16_t*>(view.data), view.length);
    enumerator->Release();
    archive->Release();
    const std::wstring target = temp_.File(L"damaged.out");
    ASSERT_TRUE(WriteWholeFile(target, "an older file of that name"));
    EXPECT_CODE(ExtractToFile(fixture, name, target), RYL_E_BAD_FORMAT);
    EXPECT_FALSE(FileExistsW(target)) << "a file that failed its CRC must not remain";
  }
}

// --- Resources -------------------------------------------------------------------

TEST_F(ZipReaderTest, NoHandleOutlivesItsArchive) {
  // Warm up whatever the first calls load once.
  Archive* archive = Open("python_bzip2.zip");
  ASSERT_NE(archive, nullptr);
  archive->Release();
  const unsigned long before = ProcessHandleCount();
  const std::wstring target = temp_.File(L"leak.out");
  for (int round = 0; round < 20; ++round) {
    for (const std::string fixture : {"python_bzip2.zip", "infozip_encrypted.zip", "damaged.zip", "empty.zip"}) {
      archive = Open(fixture);
      ASSERT_NE(archive, nullptr);
      EntryEnumerator* enumerator = nullptr;
      ASSERT_CODE(archive->CreateEnumerator(&enumerator), RYL_OK);
      ArchiveEntry* entry = nullptr;
      while (enumerator->Current(&entry) == RYL_OK) {
        entry->SetPassword(W(u"zip secret"), -1, 0);
        Bytes data;
        (void)Extract(entry, &data);
        if (enumerator->MoveNext() != RYL_OK) break;
      }
      enumerator->Release();
      archive->Release();
    }
    (void)ExtractToFile("damaged.zip", u"damaged.txt", target);
    (void)ExtractToFile("plain.zip", u"second.txt", target);
    (void)ExtractToFile("infozip_encrypted.zip", u"text.txt", target, u"wrong");
  }
  EXPECT_EQ(ProcessHandleCount(), before);
  DeleteFileW(target.c_str());
}

TEST_F(ZipReaderTest, ChangesStayInMemoryUntilSavedAndReservedSlotsAreNotOffered) {
  EXPECT_CODE(service_->Reserved9(), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(service_->Reserved10(), RYL_E_NOT_IMPLEMENTED);
  const std::wstring path = temp_.File(L"w.zip");
  Archive* archive = Open("plain.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_CODE(archive->AddDirectory(W(u"d"), 1), RYL_OK);
  EXPECT_CODE(archive->SetComment(W(u"c"), 1), RYL_OK);
  EXPECT_CODE(archive->RemoveEntry(W(u"second.txt"), 10), RYL_OK);
  EXPECT_CODE(archive->RemoveEntry(W(u"second.txt"), 10), RYL_E_ELEMENT_NOT_FOUND);
  EXPECT_EQ(archive->GetEntryCount(), 2u);
  archive->Release();
  // Released unsaved: the file still has both entries and no comment.
  archive = Open("plain.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->GetEntryCount(), 2u);
  ArchiveEntry* entry = Find(archive, u"second.txt");
  ASSERT_NE(entry, nullptr);
  entry->Release();
  archive->Release();
  EXPECT_FALSE(FileExistsW(path));
}

}  // namespace
}  // namespace ryl::test
