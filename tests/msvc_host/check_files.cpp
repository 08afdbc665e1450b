// The file-system service: paths, directories, copies and moves, sizes,
// attributes, and a directory listing through the enumerator objects.
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"
#include "win32.h"

namespace msvc_host {
namespace {

int CountListing(FileSystemService* fs, const PathText& directory, const wchar_t* pattern, uint64_t* totalSize) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_HOST_ENUMERATOR);
  const RylStringView dir = {directory.text, directory.length};
  const RylStringView filter = {pattern, WideLength(pattern)};
  const ResultCode created = fs->CreateEnumeratorObject(&receiver, &dir, &filter, RYL_ENUM_FILES, &kDefaultHeap);
  HOST_CHECK_OK(created, "CreateEnumeratorObject");
  if (created < 0 || object == nullptr) return -1;
  HostDirectoryEnumerator* enumerator = static_cast<HostDirectoryEnumerator*>(object);
  int count = 0;
  *totalSize = 0;
  ResultCode rc = enumerator->Start();
  for (; rc == 0; rc = enumerator->MoveNext()) {
    void* entryObject = nullptr;
    ObjectReceiver entryReceiver = MakeReceiver(&entryObject, RYL_VERSION_DIRECTORY_ENTRY);
    if (enumerator->GetEntry(&entryReceiver) < 0 || entryObject == nullptr) {
      HOST_CHECK(false, "GetEntry delivers the current entry");
      break;
    }
    DirectoryEntry* entry = static_cast<DirectoryEntry*>(entryObject);
    RylStringView directoryView = {};
    HOST_CHECK(entry->GetDirectory(&directoryView) == &directoryView && directoryView.length > 0,
               "an entry's directory view comes back through the hidden result pointer");
    *totalSize += entry->GetSize();
    HOST_CHECK((entry->GetAttributes() & kFileAttributeDirectory) == 0, "files only were asked for");
    entry->Destroy(&kDefaultHeap);
    ++count;
  }
  HOST_CHECK(rc == RYL_S_NO_MORE_ITEMS, "a listing ends with RYL_S_NO_MORE_ITEMS");
  enumerator->Destroy(&kDefaultHeap);
  return count;
}

}  // namespace

void CheckFiles(RootFactory* root) {
  FileSystemService* fs = GetFileSystem(root);
  HOST_CHECK(fs != nullptr, "GetFileSystemService delivers the service");
  if (fs == nullptr) return;
  uint32_t highest = 0;
  HOST_CHECK(fs->Query(RYL_TYPE_FILE_SYSTEM_SERVICE, 0, &highest) == fs &&
                 highest == RYL_VERSION_FILE_SYSTEM_SERVICE,
             "the file-system service answers type 3 at version 3");

  PathText work;
  HOST_CHECK(MakeTempPath(fs, L"rylutil-msvc-host", &work), "GetTempDirectory");
  HOST_CHECK_OK(fs->CreateDirectoryTree(work.text, work.length, 1, nullptr), "CreateDirectoryTree");
  HOST_CHECK_OK(fs->DirectoryExists(work.text, work.length), "the new directory exists");
  const uint32_t attributes = GetFileAttributesW(work.text);
  HOST_CHECK(attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0,
             "and Windows sees a directory there");
  uint64_t serviceAttributes = 0;
  HOST_CHECK_OK(fs->GetAttributes(&serviceAttributes, work.text, work.length), "GetAttributes");
  HOST_CHECK((serviceAttributes & kFileAttributeDirectory) != 0, "the service agrees, through a 64-bit result");

  PathText first, second, copy, moved;
  JoinPath(&first, work.text, work.length, L"first.txt");
  JoinPath(&second, work.text, work.length, L"second.log");
  JoinPath(&copy, work.text, work.length, L"copy.txt");
  JoinPath(&moved, work.text, work.length, L"moved.txt");
  HOST_CHECK(WriteWholeFile(first.text, "seventeen bytes!!", 17) && WriteWholeFile(second.text, "log", 3),
             "two files are written through Windows");
  uint64_t size = 0;
  HOST_CHECK_OK(fs->GetFileSize(first.text, first.length, &size), "GetFileSize");
  HOST_CHECK(size == 17, "the size is the 17 bytes written");
  HOST_CHECK_OK(fs->CopyFile(first.text, first.length, copy.text, copy.length, 1), "CopyFile");
  HOST_CHECK_CODE(fs->CopyFile(first.text, first.length, copy.text, copy.length, 1), RYL_E_ALREADY_EXISTS,
                  "a second copy with failIfExists is refused");
  HOST_CHECK_OK(fs->MoveFile(copy.text, copy.length, moved.text, moved.length, 1), "MoveFile");
  HOST_CHECK(fs->FileExists(copy.text, copy.length) < 0 && fs->FileExists(moved.text, moved.length) >= 0,
             "the move leaves only the target");

  uint64_t total = 0;
  HOST_CHECK(CountListing(fs, work, L"*.txt", &total) == 2 && total == 34, "two .txt files of 17 bytes are listed");
  HOST_CHECK(CountListing(fs, work, L"*", &total) == 3 && total == 37, "and three files in all");

  uint64_t written = 0;
  HOST_CHECK_OK(fs->GetLastWriteTime(first.text, first.length, &written), "GetLastWriteTime");
  HOST_CHECK(written > 0x01D0000000000000ull, "a write time after 2015 arrives as one 64-bit value");

  uint32_t deleted = 0;
  HOST_CHECK_OK(fs->DeleteDirectoryFiles(work.text, work.length, L"*.log", 5, &deleted, 0), "DeleteDirectoryFiles");
  HOST_CHECK(deleted == 1, "one .log file is deleted");
  HOST_CHECK_OK(fs->RemoveDirectory(work.text, work.length, 1, 0), "RemoveDirectory, recursively");
  HOST_CHECK(GetFileAttributesW(work.text) == kInvalidFileAttributes, "the directory and its files are gone");
}

}  // namespace msvc_host
