// Listings through the DLL as a host makes them: the filter flags, patterns,
// Start and MoveNext, what an entry reports, the enumerator variants of the
// service's slots 1 to 7, and that no handle outlives a listing.
#include "enumeration/enumeration_host.h"
#include "support/default_heap.h"

#include <winioctl.h>

#include <algorithm>

#include "core/growable_buffer.h"

namespace ryl::test {
namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::wstring>;

TEST_F(EnumerationTest, PatternsEmptyAndStarDotStarListEverythingIncludingNamesWithoutADot) {
  ASSERT_TRUE(dir_.File(L"a.txt") && dir_.File(L"noext") && dir_.Directory(L"sub"));
  const Names all = {L".", L"..", L"a.txt", L"noext", L"sub"};
  EXPECT_EQ(Sorted(List(dir_.path(), L"", 0xFF)), all);
  EXPECT_EQ(Sorted(List(dir_.path(), L"*.*", 0xFF)), all);
  EXPECT_EQ(Sorted(List(dir_.path(), L"*", 0xFF)), all);
  EXPECT_EQ(List(dir_.path(), L"*.txt", 0xFF), Names{L"a.txt"});
  // No match at all is an empty listing, not a failure.
  EXPECT_EQ(List(dir_.path(), L"*.none", 0xFF), Names{});
}

TEST_F(EnumerationTest, FlagsChooseFilesDirectoriesAndTheDotEntries) {
  ASSERT_TRUE(dir_.Directory(L"d1") && dir_.Directory(L"d2"));
  EXPECT_EQ(Sorted(List(dir_.path(), L"", 0x04)), (Names{L"d1", L"d2"}));
  EXPECT_EQ(Sorted(List(dir_.path(), L"", 0x06)), (Names{L".", L"d1", L"d2"}));
  EXPECT_EQ(Sorted(List(dir_.path(), L"", 0x05)), (Names{L"..", L"d1", L"d2"}));
  // The dot entries are directories: without 0x04 they are never reported.
  EXPECT_EQ(List(dir_.path(), L"", 0x03), Names{});

  // Files only, in a directory of directories: created, but at the end.
  ResultCode rc = RYL_OK;
  HostDirectoryEnumerator* files = Open(dir_.path(), L"", 0x08, &rc);
  ASSERT_NE(files, nullptr) << Failed(rc);
  EXPECT_CODE(files->Start(), RYL_S_NO_MORE_ITEMS);
  EXPECT_CODE(files->MoveNext(), RYL_S_NO_MORE_ITEMS);
  StoringReceiver receiver(2);
  EXPECT_CODE(files->GetEntry(&receiver.record), RYL_E_NO_MORE_ITEMS);
  EXPECT_EQ(receiver.deliveries, 0);
  Close(files);

  ASSERT_TRUE(dir_.File(L"f"));
  EXPECT_EQ(List(dir_.path(), L"", 0x08), Names{L"f"});
}

TEST_F(EnumerationTest, StartReturnsToTheFirstEntryOnlyOnceTheEnumeratorHasMoved) {
  ASSERT_TRUE(dir_.File(L"a") && dir_.File(L"b") && dir_.File(L"c"));
  HostDirectoryEnumerator* enumerator = Open(dir_.path(), L"", 0x08);
  ASSERT_NE(enumerator, nullptr);
  const std::wstring first = CurrentName(enumerator);
  EXPECT_CODE(enumerator->Start(), RYL_OK);
  EXPECT_EQ(CurrentName(enumerator), first);
  ASSERT_CODE(enumerator->MoveNext(), RYL_OK);
  EXPECT_NE(CurrentName(enumerator), first);
  EXPECT_CODE(enumerator->Start(), RYL_OK);
  EXPECT_EQ(CurrentName(enumerator), first);
  ASSERT_CODE(enumerator->MoveNext(), RYL_OK);
  ASSERT_CODE(enumerator->MoveNext(), RYL_OK);
  EXPECT_CODE(enumerator->MoveNext(), RYL_S_NO_MORE_ITEMS);
  EXPECT_CODE(enumerator->MoveNext(), RYL_S_NO_MORE_ITEMS);  // and stays there
  EXPECT_CODE(enumerator->Start(), RYL_OK);
  EXPECT_EQ(CurrentName(enumerator), first);
  Close(enumerator);
}

TEST_F(EnumerationTest, OpeningWhatIsNoDirectoryFailsWithoutDelivering) {
  ASSERT_TRUE(dir_.File(L"plain"));
  for (const std::wstring& path : {dir_ / L"missing\\deeper", dir_ / L"plain", std::wstring()}) {
    StoringReceiver receiver(1);
    const RylStringView directory = View(path);
    const ResultCode rc = fs_->CreateEnumeratorObject(&receiver.record, &directory, nullptr, 0xFF, nullptr);
    EXPECT_LT(rc, 0) << "path " << std::string(path.begin(), path.end());
    EXPECT_EQ(receiver.deliveries, 0);
  }
  StoringReceiver receiver(1);
  const RylStringView missing = View(dir_ / L"missing\\deeper");
  EXPECT_CODE(fs_->CreateEnumeratorObject(&receiver.record, &missing, nullptr, 0xFF, nullptr), RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(fs_->CreateEnumeratorObject(&receiver.record, nullptr, nullptr, 0xFF, nullptr), RYL_E_INVALID_ARG);
  const RylStringView nullText = {nullptr, 3};
  EXPECT_CODE(fs_->CreateEnumeratorObject(&receiver.record, &nullText, nullptr, 0xFF, nullptr), RYL_E_INVALID_ARG);
}

TEST_F(EnumerationTest, AnEntryReportsWhatTheFileSystemHoldsAndOutlivesItsEnumerator) {
  ASSERT_TRUE(dir_.File(L"A Longer Name.data", 5000));
  const std::wstring path = dir_ / L"A Longer Name.data";
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  WIN32_FILE_ATTRIBUTE_DATA expected{};
  ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &expected));

  HostDirectoryEnumerator* enumerator = Open(dir_.path(), L"*.data", 0xFF);
  ASSERT_NE(enumerator, nullptr);
  StoringReceiver receiver(2);
  ASSERT_CODE(enumerator->GetEntry(&receiver.record), RYL_OK);
  Close(enumerator);
  auto* entry = static_cast<DirectoryEntry*>(receiver.object);

  RylStringView view{};
  EXPECT_EQ(ViewText(*entry->GetName(&view)), L"A Longer Name.data");
  EXPECT_EQ(ViewText(*entry->GetDirectory(&view)), dir_.path());
  const std::wstring shortName = ViewText(*entry->GetShortName(&view));
  EXPECT_FALSE(shortName.empty());
  EXPECT_LE(shortName.size(), 12u);
  EXPECT_EQ(entry->GetSize(), 5000u);
  EXPECT_EQ(entry->GetAttributes(), uint64_t{expected.dwFileAttributes});
  auto time = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  EXPECT_EQ(entry->GetLastWriteTime(), time(expected.ftLastWriteTime));
  EXPECT_EQ(entry->GetLastAccessTime(), time(expected.ftLastAccessTime));
  EXPECT_EQ(entry->GetCreationTime(), time(expected.ftCreationTime));
  EXPECT_NE(entry->GetChangeTime(), 0u);

  uint32_t highest = 0;
  EXPECT_EQ(entry->Query(RYL_TYPE_DIRECTORY_ENTRY, 2, &highest), entry);
  EXPECT_EQ(highest, 2u);
  EXPECT_EQ(entry->Query(RYL_TYPE_DIRECTORY_ENTRY, 3, nullptr), nullptr);
  EXPECT_EQ(entry->Query(RYL_TYPE_HOST_ENUMERATOR, 1, nullptr), nullptr);
  entry->Destroy(&test::kDefaultHeap);
}

TEST_F(EnumerationTest, VerbatimListingsKeepTheTrailingDotOfAnEntryInItsFullPath) {
  const std::wstring dotted = L"\\\\?\\" + (dir_ / L"name.");
  if (!ScratchDirectory::MakeFile(dotted)) {
    GTEST_SKIP() << "Wine cannot create a file whose name ends in a dot (error " << GetLastError() << ")";
  }
  // The directory is stored as a full path in verbatim mode.
  HostDirectoryEnumerator* enumerator = Open(dir_ / L"sub\\..", L"name.", 0x408);
  ASSERT_NE(enumerator, nullptr);
  StoringReceiver receiver(2);
  ASSERT_CODE(enumerator->GetEntry(&receiver.record), RYL_OK);
  Close(enumerator);
  auto* entry = static_cast<DirectoryEntry*>(receiver.object);
  RylStringView view{};
  EXPECT_EQ(ViewText(*entry->GetName(&view)), L"name.");
  EXPECT_EQ(ViewText(*entry->GetDirectory(&view)), dir_.path());
  core::GrowableBuffer<char16_t> full;
  ASSERT_CODE(entry->GetFullPath(full.Output()), RYL_OK);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(full.data()), full.size()), dotted);
  entry->Destroy(&test::kDefaultHeap);
}

// A junction made through the native layer, or false when that is refused.
bool MakeJunction(const std::wstring& link, const std::wstring& target, DWORD* error) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return *error = GetLastError(), false;
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return *error = GetLastError(), false;
  const std::wstring substitute = L"\\??\\" + target;
  std::vector<BYTE> buffer(8 + 8 + (substitute.size() + 1 + target.size() + 1) * sizeof(wchar_t));
  auto* words = reinterpret_cast<USHORT*>(buffer.data());
  *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
  words[2] = static_cast<USHORT>(buffer.size() - 8);
  words[4] = 0;
  words[5] = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
  words[6] = static_cast<USHORT>((substitute.size() + 1) * sizeof(wchar_t));
  words[7] = static_cast<USHORT>(target.size() * sizeof(wchar_t));
  auto* text = reinterpret_cast<wchar_t*>(buffer.data() + 16);
  std::copy(substitute.begin(), substitute.end(), text);
  std::copy(target.begin(), target.end(), text + substitute.size() + 1);
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  nullptr, 0, &returned, nullptr);
  *error = GetLastError();
  CloseHandle(handle);
  return ok != FALSE;
}

TEST_F(EnumerationTest, JunctionsAreReportedOnlyWithTheReparsePointFlag) {
  ASSERT_TRUE(dir_.Directory(L"target") && dir_.Directory(L"plain"));
  DWORD error = 0;
  if (!MakeJunction(dir_ / L"junction", dir_ / L"target", &error)) {
    GTEST_SKIP() << "Wine lacks FSCTL_SET_REPARSE_POINT (no junction can be made; error " << error << ")";
  }
  EXPECT_EQ(Sorted(List(dir_.path(), L"", 0x04)), (Names{L"plain", L"target"}));
  EXPECT_EQ(Sorted(List(dir_.path(), L"", 0x14)), (Names{L"junction", L"plain", L"target"}));
}

TEST_F(EnumerationTest, AFetchMeetingA260CharacterNameFailsWithOutOfRange) {
  ASSERT_TRUE(dir_.File(L"a"));
  const std::wstring longName(260, L'n');
  if (!ScratchDirectory::MakeFile(L"\\\\?\\" + (dir_ / longName))) {
    GTEST_SKIP() << "the Linux file system under Wine refuses names longer than 255 bytes: a 260-character name "
                    "cannot be made (error "
                 << GetLastError() << ")";
  }
  const Names names = List(dir_.path(), L"", 0xFF);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), Failed(RYL_E_OUT_OF_RANGE));
}

// --- The enumerator object of slots 1, 2, 6 and 7 ------------------------------

struct SinkCapture {
  void* object = nullptr;
  int calls = 0;
  ResultCode result = RYL_OK;
};

ResultCode RYL_CDECL Capture(void* object, void* context) {
  auto* capture = static_cast<SinkCapture*>(context);
  ++capture->calls;
  if (capture->result >= 0) capture->object = object;
  return capture->result;
}

TEST_F(EnumerationTest, SinkEnumeratorsLendOneEntryThatEachGetEntryRefills) {
  ASSERT_TRUE(dir_.File(L"a") && dir_.File(L"b"));
  const RylStringView directory = View(dir_.path());
  SinkCapture first;
  SinkCapture second;
  const RylObjectSink firstSink = {Capture, &first};
  const RylObjectSink secondSink = {Capture, &second};
  ASSERT_CODE(fs_->CreateEnumerator(&firstSink, &directory, nullptr, 0x08), RYL_OK);
  ASSERT_CODE(fs_->CreateEnumerator2(&secondSink, &directory, nullptr, 0x08), RYL_OK);
  ASSERT_EQ(first.calls, 1);
  ASSERT_EQ(second.calls, 1);

  // Both tables walk the same way; the second is the object's second table.
  std::vector<std::wstring> walked[2];
  for (int table = 0; table < 2; ++table) {
    auto* enumerator = static_cast<DirectoryEnumerator*>(table == 0 ? first.object : second.object);
    DirectoryEntry* lent = nullptr;
    ASSERT_CODE(enumerator->GetEntry(&lent), RYL_OK);
    DirectoryEntry* again = nullptr;
    ResultCode rc = RYL_OK;
    for (; rc == RYL_OK; rc = enumerator->MoveNext()) {
      ASSERT_CODE(enumerator->GetEntry(&again), RYL_OK);
      EXPECT_EQ(again, lent);
      RylStringView name{};
      walked[table].push_back(ViewText(*again->GetName(&name)));
      again->Destroy(&test::kDefaultHeap);  // the enumerator's own: left alone
    }
    EXPECT_CODE(rc, RYL_S_NO_MORE_ITEMS);
    DirectoryEntry* untouched = reinterpret_cast<DirectoryEntry*>(0xDEADBEEF);
    EXPECT_CODE(enumerator->GetEntry(&untouched), RYL_E_NO_MORE_ITEMS);
    EXPECT_EQ(untouched, reinterpret_cast<DirectoryEntry*>(0xDEADBEEF));
    EXPECT_CODE(enumerator->Start(), RYL_OK);
    ASSERT_CODE(enumerator->GetEntry(&again), RYL_OK);
  }
  EXPECT_EQ(Sorted(walked[0]), (Names{L"a", L"b"}));
  EXPECT_EQ(walked[1], walked[0]);
  static_cast<DirectoryEnumerator*>(first.object)->Destroy();
  static_cast<DirectoryEnumerator2*>(second.object)->Destroy();
}

struct AllocationCounts {
  int allocated = 0;
  int freed = 0;
};

void RYL_CDECL CountedFree(void* pointer, void* context) {
  ++static_cast<AllocationCounts*>(context)->freed;
  HeapFree(GetProcessHeap(), 0, pointer);
}

ResultCode RYL_CDECL CountedAllocate(void** out, uint32_t size, void* context) {
  ++static_cast<AllocationCounts*>(context)->allocated;
  *out = HeapAlloc(GetProcessHeap(), 0, size);
  return *out != nullptr ? RYL_OK : RYL_E_OUT_OF_MEMORY;
}

const RylAllocatorCallbacks kCounting = {1, CountedFree, CountedAllocate};

TEST_F(EnumerationTest, RefusedDeliveriesDestroyTheObjectAndItsHandle) {
  const RylStringView directory = View(dir_.path());
  const ULONG before = ProcessHandles();
  SinkCapture refusing;
  refusing.result = RYL_E_ACCESS_DENIED;
  const RylObjectSink sink = {Capture, &refusing};
  EXPECT_CODE(fs_->CreateEnumerator(&sink, &directory, nullptr, 0xFF), RYL_E_ACCESS_DENIED);
  EXPECT_CODE(fs_->CreateEnumerator(nullptr, &directory, nullptr, 0xFF), RYL_E_INVALID_ARG);

  // Through a receiver: the allocator takes back what it gave.
  AllocationCounts counts;
  StoringReceiver receiver(1, &kCounting, &counts);
  receiver.deliverResult = RYL_E_INVALID_ARG;
  EXPECT_CODE(fs_->CreateEnumeratorObject(&receiver.record, &directory, nullptr, 0xFF, nullptr), RYL_E_INVALID_ARG);
  EXPECT_EQ(counts.allocated, 1);
  EXPECT_EQ(counts.freed, 1);
  StoringReceiver tooNew(2, &kCounting, &counts);
  EXPECT_CODE(fs_->CreateEnumeratorObject(&tooNew.record, &directory, nullptr, 0xFF, nullptr),
              RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(counts.allocated, 1);
  EXPECT_EQ(ProcessHandles(), before);

  // An accepted enumerator lives in the receiver's memory until destroyed.
  StoringReceiver accepting(1, &kCounting, &counts);
  ASSERT_CODE(fs_->CreateEnumeratorObject(&accepting.record, &directory, nullptr, 0xFF, nullptr), RYL_OK);
  EXPECT_EQ(counts.allocated, 2);
  auto* enumerator = static_cast<HostDirectoryEnumerator*>(accepting.object);
  StoringReceiver entryTooNew(3);
  EXPECT_CODE(enumerator->GetEntry(&entryTooNew.record), RYL_E_UNSUPPORTED_VERSION);
  enumerator->Destroy(&accepting.record.allocator);
  EXPECT_EQ(counts.freed, 2);
  EXPECT_EQ(ProcessHandles(), before);
}

HANDLE OpenDirectoryHandle(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

TEST_F(EnumerationTest, OnHandleListingsCloseTheHandleExactlyWhenItWasHandedOver) {
  ASSERT_TRUE(dir_.File(L"x"));
  const RylStringView directory = View(dir_.path());
  const ULONG before = ProcessHandles();

  // Kept by the host: still open after the enumerator is gone.
  HANDLE kept = OpenDirectoryHandle(dir_.path());
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  StoringReceiver receiver(1);
  ASSERT_CODE(fs_->CreateEnumeratorObjectOnHandle(&receiver.record, kept, &directory, nullptr, 0x08, 0, nullptr),
              RYL_OK);
  auto* enumerator = static_cast<HostDirectoryEnumerator*>(receiver.object);
  EXPECT_EQ(CurrentName(enumerator), L"x");
  Close(enumerator);
  EXPECT_EQ(ProcessHandles(), before + 1);
  EXPECT_TRUE(CloseHandle(kept));

  // Handed over: closed with the enumerator, and on every failure.
  SinkCapture capture;
  const RylObjectSink sink = {Capture, &capture};
  ASSERT_CODE(fs_->CreateEnumeratorOnHandle(&sink, OpenDirectoryHandle(dir_.path()), &directory, nullptr, 0x08, 1),
              RYL_OK);
  static_cast<DirectoryEnumerator*>(capture.object)->Destroy();
  capture.result = RYL_E_ACCESS_DENIED;
  EXPECT_CODE(fs_->CreateEnumeratorOnHandle2(&sink, OpenDirectoryHandle(dir_.path()), &directory, nullptr, 0x08, 1),
              RYL_E_ACCESS_DENIED);
  EXPECT_CODE(fs_->CreateEnumeratorOnHandle(nullptr, OpenDirectoryHandle(dir_.path()), &directory, nullptr, 0x08, 1),
              RYL_E_INVALID_ARG);
  StoringReceiver tooNew(2);
  EXPECT_CODE(fs_->CreateEnumeratorObjectOnHandle(&tooNew.record, OpenDirectoryHandle(dir_.path()), &directory,
                                                  nullptr, 0x08, 1, nullptr),
              RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(fs_->CreateEnumeratorObjectOnHandle(&receiver.record, OpenDirectoryHandle(dir_.path()), nullptr,
                                                  nullptr, 0x08, 1, nullptr),
              RYL_E_INVALID_ARG);
  // A handle to a file cannot be listed: the start fails and closes it.
  HANDLE file = CreateFileW((dir_ / L"x").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_LT(fs_->CreateEnumeratorObjectOnHandle(&receiver.record, file, &directory, nullptr, 0x08, 1, nullptr), 0);
  EXPECT_EQ(ProcessHandles(), before);
}

TEST_F(EnumerationTest, NoHandleOutlivesFailingOrFinishedOperations) {
  ASSERT_TRUE(dir_.File(L"a.txt") && dir_.Directory(L"d"));
  const RylStringView directory = View(dir_.path());
  const RylStringView missing = View(dir_ / L"none\\deeper");
  const std::wstring found = dir_ / L"*.txt";
  const std::wstring lost = dir_ / L"lost.txt";
  const std::wstring existing = dir_ / L"a.txt";
  const RylStringView foundView = View(found);
  const RylStringView lostView = View(lost);
  const ULONG before = ProcessHandles();
  HANDLE probe = OpenDirectoryHandle(dir_.path());
  ASSERT_EQ(ProcessHandles(), before + 1) << "the handle count must see a handle the test opens";
  CloseHandle(probe);
  for (int round = 0; round < 25; ++round) {
    StoringReceiver receiver(1);
    EXPECT_LT(fs_->CreateEnumeratorObject(&receiver.record, &missing, nullptr, 0xFF, nullptr), 0);
    receiver.deliverResult = RYL_E_INVALID_ARG;
    EXPECT_LT(fs_->CreateEnumeratorObject(&receiver.record, &directory, nullptr, 0xFF, nullptr), 0);
    HostDirectoryEnumerator* enumerator = Open(dir_.path(), L"", 0xFF);
    ASSERT_NE(enumerator, nullptr);
    EXPECT_CODE(enumerator->MoveNext(), RYL_OK);  // left in the middle of a batch
    Close(enumerator);
    StoringReceiver entry(2);
    ASSERT_CODE(fs_->FindEntry(&entry.record, &foundView, nullptr), RYL_OK);
    static_cast<DirectoryEntry*>(entry.object)->Destroy(&test::kDefaultHeap);
    EXPECT_CODE(fs_->FindEntry(&entry.record, &lostView, nullptr), RYL_E_FILE_NOT_FOUND);
    core::GrowableBuffer<char16_t> out;
    EXPECT_CODE(fs_->GetOnDiskLongPath(out.Output(), existing.c_str(), static_cast<uint32_t>(existing.size())), RYL_OK);
    EXPECT_LT(fs_->GetOnDiskShortPath(out.Output(), lost.c_str(), static_cast<uint32_t>(lost.size())), 0);
    EXPECT_CODE(fs_->ExpandShortNames(out.Output(), found.c_str(), static_cast<uint32_t>(found.size())), RYL_OK);
  }
  EXPECT_EQ(ProcessHandles(), before);
}

}  // namespace
}  // namespace ryl::test
