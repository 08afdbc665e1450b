// The single-entry look-up (service slot 5) and the on-disk name forms that
// rest on it (slots 10 to 12), through the DLL.
#include <algorithm>

#include "core/growable_buffer.h"
#include "enumeration/enumeration_host.h"
#include "support/default_heap.h"

namespace ryl::test {
namespace {


class LookUpTest : public EnumerationTest {
 protected:
  // The entry FindEntry delivers for path, or null with the code in *code.
  DirectoryEntry* Find(const std::wstring& path, ResultCode* code, uint32_t version = 2) {
    StoringReceiver receiver(version);
    const RylStringView view = View(path);
    *code = fs_->FindEntry(&receiver.record, &view, nullptr);
    EXPECT_EQ(receiver.deliveries, *code < 0 ? 0 : 1);
    return *code < 0 ? nullptr : static_cast<DirectoryEntry*>(receiver.object);
  }

  std::wstring FoundName(const std::wstring& path) {
    ResultCode rc = RYL_OK;
    DirectoryEntry* entry = Find(path, &rc);
    if (entry == nullptr) return Failed(rc);
    RylStringView name{};
    const std::wstring text = ViewText(*entry->GetName(&name));
    entry->Destroy(&test::kDefaultHeap);
    return text;
  }

  using Slot = ResultCode (RYL_THISCALL FileSystemService::*)(OutputBuffer*, const RylChar16*, uint32_t);

  // The slot's output, or the failure with the output checked untouched.
  std::wstring Form(Slot slot, const std::wstring& path, uint32_t length) {
    core::GrowableBuffer<char16_t> out;
    EXPECT_CODE(out.Resize(3), RYL_OK);
    std::fill(out.data(), out.data() + 3, u'#');
    const ResultCode rc = (fs_->*slot)(out.Output(), path.c_str(), length);
    const std::wstring text(reinterpret_cast<const wchar_t*>(out.data()), out.size());
    if (rc >= 0) return text;
    EXPECT_EQ(text, L"###") << "output changed by a failing call";
    return Failed(rc);
  }
  std::wstring Form(Slot slot, const std::wstring& path) {
    return Form(slot, path, static_cast<uint32_t>(path.size()));
  }

  std::wstring ShortNameOf(const std::wstring& path) {
    ResultCode rc = RYL_OK;
    DirectoryEntry* entry = Find(path, &rc);
    if (entry == nullptr) return Failed(rc);
    RylStringView name{};
    const std::wstring text = ViewText(*entry->GetShortName(&name));
    entry->Destroy(&test::kDefaultHeap);
    return text;
  }

  static constexpr Slot kLong = &FileSystemService::GetOnDiskLongPath;
  static constexpr Slot kShort = &FileSystemService::GetOnDiskShortPath;
  static constexpr Slot kExpand = &FileSystemService::ExpandShortNames;
};

TEST_F(LookUpTest, FindEntryDeliversTheFirstMatchOfAWildcardAndFailsForMissingNames) {
  ASSERT_TRUE(dir_.File(L"b.txt") && dir_.File(L"a.txt") && dir_.File(L"c.doc"));
  const std::vector<std::wstring> listed = List(dir_.path(), L"*.txt", 0xFF);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(FoundName(dir_ / L"*.txt"), listed.front());
  EXPECT_EQ(FoundName(dir_ / L"C.DOC"), L"c.doc");  // the stored name, not the asked one
  EXPECT_EQ(FoundName(dir_ / L"c.doc\\"), L"c.doc");

  EXPECT_EQ(FoundName(dir_ / L"missing.txt"), Failed(RYL_E_FILE_NOT_FOUND));
  EXPECT_EQ(FoundName(dir_ / L"missing\\deeper\\a.txt"), Failed(RYL_E_PATH_NOT_FOUND));
  EXPECT_EQ(FoundName(L"C:\\"), Failed(RYL_E_INVALID_ARG));
  EXPECT_EQ(FoundName(L""), Failed(RYL_E_INVALID_ARG));
  ResultCode rc = RYL_OK;
  EXPECT_EQ(Find(dir_ / L"a.txt", &rc, 3), nullptr);
  EXPECT_CODE(rc, RYL_E_UNSUPPORTED_VERSION);
  StoringReceiver receiver(2);
  EXPECT_CODE(fs_->FindEntry(&receiver.record, nullptr, nullptr), RYL_E_INVALID_ARG);
}

TEST_F(LookUpTest, FindEntryResolvesARelativeNameInTheCurrentDirectory) {
  ASSERT_TRUE(dir_.File(L"here.txt"));
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
  ResultCode rc = RYL_OK;
  DirectoryEntry* entry = Find(L"here.txt", &rc);
  SetCurrentDirectoryW(saved);
  ASSERT_NE(entry, nullptr) << Failed(rc);
  core::GrowableBuffer<char16_t> full;
  ASSERT_CODE(entry->GetFullPath(full.Output()), RYL_OK);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(full.data()), full.size()), dir_ / L"here.txt");
  entry->Destroy(&test::kDefaultHeap);
}

TEST_F(LookUpTest, OnDiskLongPathSpellsEveryComponentAsStored) {
  ASSERT_TRUE(dir_.Directory(L"Mixed Case") && ScratchDirectory::MakeFile(dir_ / L"Mixed Case\\File Name.Txt"));
  const std::wstring base = Form(kLong, dir_.path());
  ASSERT_EQ(base.size(), dir_.path().size()) << std::string(base.begin(), base.end());
  EXPECT_EQ(Form(kLong, dir_ / L"MIXED CASE\\file name.txt"), base + L"\\Mixed Case\\File Name.Txt");
  EXPECT_EQ(Form(kLong, dir_ / L"mixed case/./..//MIXED CASE"), base + L"\\Mixed Case\\.\\..\\Mixed Case");
  EXPECT_EQ(Form(kLong, L"C:\\"), L"C:\\");
  // Rooted and drive-relative paths keep their meaning.
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
  const std::wstring rooted = Form(kLong, dir_.path().substr(2) + L"\\MIXED CASE");
  const std::wstring driveRelative = Form(kLong, L"C:mixed case");
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(rooted, base.substr(2) + L"\\Mixed Case");
  EXPECT_EQ(driveRelative, L"C:Mixed Case");
  const std::wstring verbatim = L"\\\\?\\" + dir_ / L"MIXED CASE";
  EXPECT_EQ(Form(kLong, verbatim), verbatim);  // network and device forms stay as they are
  EXPECT_EQ(Form(kLong, dir_ / L"missing"), Failed(RYL_E_FILE_NOT_FOUND));
  EXPECT_EQ(Form(kLong, dir_ / L"*").rfind(L"<failed", 0), 0u) << "a pattern names nothing";
  EXPECT_LT(fs_->GetOnDiskLongPath(nullptr, L"C:\\", 3), 0);
}

TEST_F(LookUpTest, OnDiskShortPathUsesShortNamesWhereTheFileSystemHasThem) {
  ASSERT_TRUE(dir_.Directory(L"A Long Directory") && dir_.File(L"A Long Directory\\short.txt"));
  const std::wstring shortDirectory = ShortNameOf(dir_ / L"A Long Directory");
  ASSERT_FALSE(shortDirectory.empty());
  const std::wstring base = Form(kShort, dir_.path());
  // short.txt is 8.3 already: it has no short name and stays as written.
  EXPECT_EQ(Form(kShort, dir_ / L"a long directory\\SHORT.TXT"), base + L"\\" + shortDirectory + L"\\SHORT.TXT");

  // Expanding the short form gives back the long one, whatever the case.
  EXPECT_EQ(Form(kExpand, base + L"\\" + shortDirectory + L"\\SHORT.TXT"),
            Form(kExpand, base) + L"\\A Long Directory\\short.txt");
}

TEST_F(LookUpTest, ExpandShortNamesLooksUpOnlyWhatCouldBeAShortName) {
  ASSERT_TRUE(dir_.File(L"longname.html") && dir_.File(L"short.txt"));
  const std::wstring base = Form(kExpand, dir_.path());
  EXPECT_EQ(Form(kExpand, dir_ / L"SHORT.TXT"), base + L"\\short.txt");
  EXPECT_EQ(Form(kExpand, dir_ / L"LONGNAME.HTML"), base + L"\\LONGNAME.HTML");  // never looked up
  EXPECT_EQ(Form(kExpand, dir_ / L"NOPE~1\\x.txt\\"), base + L"\\NOPE~1\\x.txt\\");
  EXPECT_EQ(Form(kExpand, dir_ / L"*.txt"), base + L"\\*.txt");  // a pattern is no short name
  EXPECT_EQ(Form(kExpand, L"C:/NOPE~1/x"), L"C:\\NOPE~1\\x");
  EXPECT_EQ(Form(kExpand, L"\\NOPE~1"), L"\\NOPE~1");
  EXPECT_EQ(Form(kExpand, L"C:NOPE~1"), L"C:NOPE~1");
  const std::wstring zeroTerminated = dir_ / L"SHORT.TXT";
  EXPECT_EQ(Form(kExpand, zeroTerminated, 0xFFFFFFFFu), base + L"\\short.txt");
  EXPECT_EQ(Form(kExpand, L""), Failed(RYL_E_INVALID_ARG));
}

}  // namespace
}  // namespace ryl::test
