// The listing engine seen from inside: which native queries it makes, and
// what it does with answers a real directory cannot be made to give here
// (overlong names, cut batches, reparse points), staged through its query seam.
#include "fs/directory_enumeration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "enumeration/enumeration_host.h"
#include "sys/native_api.h"

namespace ryl::fs {
namespace {

constexpr int32_t kNoMoreFiles = static_cast<int32_t>(0x80000006u);
constexpr int32_t kBufferOverflow = static_cast<int32_t>(0x80000005u);
constexpr size_t kHeader = offsetof(FILE_BOTH_DIR_INFORMATION, FileName);
void* const kStagedHandle = reinterpret_cast<void*>(0x1234);

struct Staged {
  std::u16string name;
  uint32_t attributes = 0x20;
};

// Native records chained as the directory query lays them out.
std::vector<unsigned char> Records(const std::vector<Staged>& records) {
  std::vector<unsigned char> out;
  size_t previous = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const size_t offset = (out.size() + 7) & ~size_t{7};
    const size_t bytes = kHeader + records[i].name.size() * sizeof(char16_t);
    std::vector<unsigned char> record(std::max(bytes, sizeof(FILE_BOTH_DIR_INFORMATION)));
    auto* info = reinterpret_cast<FILE_BOTH_DIR_INFORMATION*>(record.data());
    info->FileAttributes = records[i].attributes;
    info->FileNameLength = static_cast<ULONG>(records[i].name.size() * sizeof(char16_t));
    info->EndOfFile.QuadPart = static_cast<LONGLONG>(i) + 1;
    std::memcpy(record.data() + kHeader, records[i].name.data(), info->FileNameLength);
    out.resize(offset);
    out.insert(out.end(), record.begin(), record.begin() + static_cast<ptrdiff_t>(bytes));
    if (i > 0) reinterpret_cast<FILE_BOTH_DIR_INFORMATION*>(out.data() + previous)->NextEntryOffset = offset - previous;
    previous = offset;
  }
  return out;
}

// Answers queries from a script and records how each was asked.
struct StagedDirectory {
  struct Answer {
    int32_t status;
    std::vector<unsigned char> bytes;
  };
  struct Asked {
    uint32_t length;
    bool singleEntry;
    bool restart;
    bool withPattern;
    std::u16string pattern;
  };
  std::deque<Answer> answers;
  std::vector<Asked> asked;

  static int32_t Query(void* context, const DirectoryQuery& query, uint32_t* outBytes) {
    auto* self = static_cast<StagedDirectory*>(context);
    self->asked.push_back({query.length, query.singleEntry, query.restart, query.pattern != nullptr,
                           query.pattern != nullptr ? std::u16string(query.pattern, query.patternLength) : u""});
    if (self->answers.empty()) return kNoMoreFiles;
    const Answer answer = self->answers.front();
    self->answers.pop_front();
    const size_t n = std::min<size_t>(answer.bytes.size(), query.length);
    if (n != 0) std::memcpy(query.buffer, answer.bytes.data(), n);
    *outBytes = static_cast<uint32_t>(n);
    return answer.status;
  }

  ResultCode Open(DirectoryEnumeration* enumeration, const std::u16string& pattern, uint32_t flags) {
    enumeration->SetQueryFunctionForTesting(Query, this);
    return enumeration->OpenOnHandle(kStagedHandle, u"C:\\staged", pattern, flags, false);
  }
};

std::u16string Name(const DirectoryEnumeration& enumeration) { return std::u16string(enumeration.current().Name()); }

TEST(DirectoryEnumeration, AFetchMeetingANameTooLongForTheRecordFailsAndEndsTheListing) {
  StagedDirectory staged;
  const std::u16string longest(259, u'l');
  staged.answers = {{0, Records({{u".", 0x10}})},
                    {0, Records({{u"..", 0x10}, {longest}, {std::u16string(260, u'x')}, {u"after"}})}};
  DirectoryEnumeration enumeration;
  ASSERT_CODE(staged.Open(&enumeration, u"", 0xFF), RYL_OK);
  ASSERT_CODE(enumeration.MoveNext(), RYL_OK);
  ASSERT_CODE(enumeration.MoveNext(), RYL_OK);
  EXPECT_EQ(Name(enumeration), longest);  // 518 bytes still fit
  EXPECT_CODE(enumeration.MoveNext(), RYL_E_OUT_OF_RANGE);
  EXPECT_FALSE(enumeration.positioned());
  EXPECT_CODE(enumeration.MoveNext(), RYL_S_NO_MORE_ITEMS);

  // The first, single-entry query gets the same check.
  StagedDirectory first;
  first.answers = {{0, Records({{std::u16string(260, u'x')}})}};
  DirectoryEnumeration refused;
  EXPECT_CODE(first.Open(&refused, u"", 0xFF), RYL_E_OUT_OF_RANGE);
  EXPECT_FALSE(refused.open());
}

TEST(DirectoryEnumeration, NoMatchOnTheFirstQueryIsTheEndAndOtherFailuresCloseTheListing) {
  for (const int32_t status : {static_cast<int32_t>(0xC000000Fu), kNoMoreFiles}) {
    StagedDirectory staged;
    staged.answers = {{status, {}}};
    DirectoryEnumeration enumeration;
    EXPECT_CODE(staged.Open(&enumeration, u"*.x", 0xFF), RYL_S_NO_MORE_ITEMS);
    EXPECT_TRUE(enumeration.open());
    EXPECT_TRUE(enumeration.started());
    EXPECT_FALSE(enumeration.positioned());
  }
  StagedDirectory denied;
  denied.answers = {{static_cast<int32_t>(0xC0000022u), {}}};
  DirectoryEnumeration enumeration;
  EXPECT_CODE(denied.Open(&enumeration, u"", 0xFF), RYL_E_ACCESS_DENIED);
  EXPECT_FALSE(enumeration.open());

  // A batch that fails ends the listing with the failure.
  StagedDirectory failing;
  failing.answers = {{0, Records({{u"a"}})}, {static_cast<int32_t>(0xC0000022u), {}}};
  ASSERT_CODE(failing.Open(&enumeration, u"", 0x08), RYL_OK);
  EXPECT_CODE(enumeration.MoveNext(), RYL_E_ACCESS_DENIED);
  EXPECT_CODE(enumeration.MoveNext(), RYL_S_NO_MORE_ITEMS);
}

TEST(DirectoryEnumeration, AnOverflowingBatchKeepsItsCompleteRecords) {
  StagedDirectory staged;
  std::vector<unsigned char> cut = Records({{u"b"}, {u"c"}, {u"cut-short"}});
  cut.resize(cut.size() - 4);
  staged.answers = {{0, Records({{u"a"}})}, {kBufferOverflow, cut}, {0, Records({{u"d"}})}};
  DirectoryEnumeration enumeration;
  ASSERT_CODE(staged.Open(&enumeration, u"", 0x08), RYL_OK);
  std::vector<std::u16string> names = {Name(enumeration)};
  while (enumeration.MoveNext() == RYL_OK) names.push_back(Name(enumeration));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
}

TEST(DirectoryEnumeration, ThePatternGoesOnlyToTheRestartedFirstQueryAndStartDropsTheRestOfABatch) {
  for (const auto& [given, searched] : {std::pair<std::u16string, std::u16string>{u"", u"*"},
                                        {u"*.*", u"*"},
                                        {u"*.txt", u"*.txt"}}) {
    StagedDirectory staged;
    DirectoryEnumeration enumeration;
    EXPECT_CODE(staged.Open(&enumeration, given, 0xFF), RYL_S_NO_MORE_ITEMS);
    ASSERT_EQ(staged.asked.size(), 1u);
    EXPECT_EQ(staged.asked[0].pattern, searched);
  }

  StagedDirectory staged;
  const auto batch = Records({{u"b"}, {u"c"}});
  staged.answers = {{0, Records({{u"a"}})}, {0, batch}, {0, Records({{u"a"}})}, {0, batch}};
  DirectoryEnumeration enumeration;
  ASSERT_CODE(staged.Open(&enumeration, u"", 0x08), RYL_OK);
  ASSERT_CODE(enumeration.MoveNext(), RYL_OK);  // b, from the batch
  ASSERT_CODE(enumeration.Start(), RYL_OK);     // a again
  ASSERT_CODE(enumeration.MoveNext(), RYL_OK);  // b, from a new batch, not c
  EXPECT_EQ(Name(enumeration), u"b");
  ASSERT_EQ(staged.asked.size(), 4u);
  for (size_t i : {0u, 2u}) {
    EXPECT_TRUE(staged.asked[i].singleEntry && staged.asked[i].restart && staged.asked[i].withPattern);
    EXPECT_EQ(staged.asked[i].length, 616u);
  }
  for (size_t i : {1u, 3u}) {
    EXPECT_FALSE(staged.asked[i].singleEntry || staged.asked[i].restart || staged.asked[i].withPattern);
    EXPECT_EQ(staged.asked[i].length, 4096u);
  }
}

TEST(DirectoryEnumeration, TheFilterReportsWhatTheFlagsAskFor) {
  auto entry = [](const char16_t* name, uint32_t attributes) {
    EntryRecord record{};
    std::char_traits<char16_t>::copy(record.name, name, std::char_traits<char16_t>::length(name));
    record.attributes = attributes;
    return record;
  };
  const EntryRecord file = entry(u"f", 0x20), directory = entry(u"d", 0x10), self = entry(u".", 0x10),
                    parent = entry(u"..", 0x10), junction = entry(u"j", 0x410), link = entry(u"l", 0x420);
  const struct {
    uint32_t flags;
    bool file, directory, self, parent, junction, link;
  } cases[] = {
      {0x08, true, false, false, false, false, false}, {0x04, false, true, false, false, false, false},
      {0x06, false, true, true, false, false, false},  {0x05, false, true, false, true, false, false},
      {0x03, false, false, false, false, false, false}, {0x1C, true, true, false, false, true, true},
      {0x18, true, false, false, false, false, true},  {0xFF, true, true, true, true, true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(!IsFilteredOut(file, c.flags), c.file) << std::hex << c.flags;
    EXPECT_EQ(!IsFilteredOut(directory, c.flags), c.directory) << std::hex << c.flags;
    EXPECT_EQ(!IsFilteredOut(self, c.flags), c.self) << std::hex << c.flags;
    EXPECT_EQ(!IsFilteredOut(parent, c.flags), c.parent) << std::hex << c.flags;
    EXPECT_EQ(!IsFilteredOut(junction, c.flags), c.junction) << std::hex << c.flags;
    EXPECT_EQ(!IsFilteredOut(link, c.flags), c.link) << std::hex << c.flags;
  }
}

// Counts and checks the engine's queries while the native layer answers them.
struct QueryCount {
  int single = 0;
  std::vector<uint32_t> batchBytes;
  int misshapen = 0;

  static int32_t Query(void* context, const DirectoryQuery& query, uint32_t* outBytes) {
    auto* self = static_cast<QueryCount*>(context);
    const bool first = query.singleEntry && query.restart && query.pattern != nullptr &&
                       query.length == 616;
    const bool batch = !query.singleEntry && !query.restart && query.pattern == nullptr &&
                       query.length == 4096;
    self->misshapen += first || batch ? 0 : 1;
    UNICODE_STRING pattern{};
    if (query.pattern != nullptr) {
      pattern.Buffer = const_cast<PWSTR>(reinterpret_cast<PCWSTR>(query.pattern));
      pattern.Length = pattern.MaximumLength = static_cast<USHORT>(query.patternLength * 2);
    }
    IO_STATUS_BLOCK iosb{};
    const NTSTATUS status =
        ZwQueryDirectoryFile(query.handle, nullptr, nullptr, nullptr, &iosb, query.buffer, query.length,
                             FileBothDirectoryInformation, query.singleEntry, query.pattern ? &pattern : nullptr,
                             query.restart);
    *outBytes = status >= 0 ? static_cast<uint32_t>(iosb.Information) : 0;
    if (first) ++self->single;
    if (batch) self->batchBytes.push_back(*outBytes);
    return status;
  }
};

TEST(DirectoryEnumeration, TenThousandFilesAreReadInFullBatchesAfterOneSingleEntryQuery) {
  test::ScratchDirectory dir;
  ASSERT_TRUE(dir.ready());
  std::set<std::u16string> expected;
  for (int i = 0; i < 10000; ++i) {
    const std::wstring name = L"file_" + std::to_wstring(100000 + i) + L".dat";
    ASSERT_TRUE(dir.File(name)) << i;
    expected.insert(std::u16string(name.begin(), name.end()));
  }
  const std::wstring path = dir.path();
  QueryCount count;
  DirectoryEnumeration enumeration;
  enumeration.SetQueryFunctionForTesting(QueryCount::Query, &count);
  ASSERT_CODE(enumeration.Open(std::u16string(path.begin(), path.end()), u"", 0x08), RYL_OK);
  std::set<std::u16string> seen;
  ResultCode rc = RYL_OK;
  for (; rc == RYL_OK; rc = enumeration.MoveNext()) seen.insert(Name(enumeration));
  EXPECT_CODE(rc, RYL_S_NO_MORE_ITEMS);
  EXPECT_EQ(seen, expected);

  EXPECT_EQ(count.single, 1);
  EXPECT_EQ(count.misshapen, 0);
  // Every batch but the last two (the rest, then "no more files") came back
  // full: no room was left for another record of these names.
  ASSERT_GE(count.batchBytes.size(), 2u);
  const uint32_t record = (kHeader + 2 * 16 + 7) & ~7u;
  for (size_t i = 0; i + 2 < count.batchBytes.size(); ++i) {
    EXPECT_GT(count.batchBytes[i] + record, 4096u) << "batch " << i;
  }
  EXPECT_EQ(count.batchBytes.back(), 0u);
  EXPECT_LE(count.batchBytes.size(), 10002u * record / 4096 + 3);
}

}  // namespace
}  // namespace ryl::fs
