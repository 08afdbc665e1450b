// Listing a directory of 10,000 files through the DLL's enumerators against
// FindFirstFileW/FindNextFileW, in one process, best of several runs each.
//
// Every listing reports all 10,002 entries ("." and ".." included) and reads
// each entry's name, as a host that lists a directory does:
//   enumerator object: FileSystemService slot 1, GetEntry lending its entry,
//                      GetName on it;
//   host enumerator:   slot 3, GetEntry delivering a new entry object that
//                      the host destroys again;
//   system:            FindFirstFileW(dir\*), FindNextFileW, cFileName.
// The goal is a ratio (enumerator object / system) of at least 1.0.
//
// A fourth line times the native directory queries alone, in the listing's
// own shape (one single-entry query, then 4096-byte batches), walking the
// records and nothing else: the floor any listing in that shape has here.
#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ryl/ryl.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                               PIO_STATUS_BLOCK iosb, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS informationClass, BOOLEAN singleEntry,
                                               PUNICODE_STRING fileName, BOOLEAN restartScan);

namespace {

constexpr int kFiles = 10000;
constexpr uint64_t kEntries = kFiles + 2;
constexpr int kRuns = 41;

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& stop, const LARGE_INTEGER& frequency) {
  return static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The best time of each body over kRuns turns, the bodies taking turns so
// that a change in the machine's load weighs on all alike. A body returns
// the entries it saw; a wrong count makes its time negative.
template <size_t N, class Body>
void BestOfTurns(Body (&bodies)[N], double (&best)[N]) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (double& b : best) b = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    for (size_t i = 0; i < N; ++i) {
      LARGE_INTEGER start;
      LARGE_INTEGER stop;
      QueryPerformanceCounter(&start);
      const uint64_t seen = bodies[i]();
      QueryPerformanceCounter(&stop);
      if (seen != kEntries) best[i] = -1;
      if (best[i] >= 0 && Seconds(start, stop, frequency) < best[i]) best[i] = Seconds(start, stop, frequency);
    }
  }
}

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

const RylReceiverCallbacks kStore = {1, StoreObject};
const AllocatorRecord kDefaultHeap = {nullptr, nullptr};

FileSystemService* g_fs = nullptr;
std::wstring g_directory;
volatile uint64_t g_sink;  // keeps the name reads from being optimised away

uint64_t ListWithEnumeratorObject() {
  void* object = nullptr;
  const RylObjectSink sink = {StoreObject, &object};
  const RylStringView directory = {g_directory.c_str(), static_cast<uint32_t>(g_directory.size())};
  if (g_fs->CreateEnumerator(&sink, &directory, nullptr, RYL_ENUM_ALL) < 0) return 0;
  auto* enumerator = static_cast<DirectoryEnumerator*>(object);
  uint64_t seen = 0;
  uint64_t units = 0;
  for (ResultCode rc = RYL_OK; rc == RYL_OK; rc = enumerator->MoveNext()) {
    DirectoryEntry* entry = nullptr;
    if (enumerator->GetEntry(&entry) < 0) break;
    RylStringView name{};
    units += entry->GetName(&name)->length;
    ++seen;
  }
  enumerator->Destroy();
  g_sink = units;
  return seen;
}

uint64_t ListWithHostEnumerator() {
  void* object = nullptr;
  ObjectReceiver receiver = {&kStore, &object, 1, kDefaultHeap};
  const RylStringView directory = {g_directory.c_str(), static_cast<uint32_t>(g_directory.size())};
  if (g_fs->CreateEnumeratorObject(&receiver, &directory, nullptr, RYL_ENUM_ALL, nullptr) < 0) return 0;
  auto* enumerator = static_cast<HostDirectoryEnumerator*>(object);
  uint64_t seen = 0;
  uint64_t units = 0;
  receiver.requestedVersion = 2;
  for (ResultCode rc = RYL_OK; rc == RYL_OK; rc = enumerator->MoveNext()) {
    if (enumerator->GetEntry(&receiver) < 0) break;
    auto* entry = static_cast<DirectoryEntry*>(object);
    RylStringView name{};
    units += entry->GetName(&name)->length;
    entry->Destroy(&kDefaultHeap);
    ++seen;
  }
  enumerator->Destroy(&kDefaultHeap);
  g_sink = units;
  return seen;
}

uint64_t ListWithFindFirstFile() {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((g_directory + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  uint64_t seen = 0;
  uint64_t units = 0;
  do {
    units += wcslen(data.cFileName);
    ++seen;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  g_sink = units;
  return seen;
}

uint64_t ListWithNativeQueries() {
  HANDLE directory = CreateFileW(g_directory.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (directory == INVALID_HANDLE_VALUE) return 0;
  alignas(8) static unsigned char buffer[4096];
  IO_STATUS_BLOCK iosb;
  UNICODE_STRING all = {2, 2, const_cast<PWSTR>(L"*")};
  uint64_t seen = 0;
  uint64_t units = 0;
  NTSTATUS status = NtQueryDirectoryFile(directory, nullptr, nullptr, nullptr, &iosb, buffer, 616,
                                         FileBothDirectoryInformation, TRUE, &all, TRUE);
  for (ULONG length = 616; status == 0; length = sizeof buffer) {
    for (const unsigned char* record = buffer;;) {
      const auto* info = reinterpret_cast<const FILE_BOTH_DIR_INFORMATION*>(record);
      units += info->FileNameLength / sizeof(wchar_t);
      ++seen;
      if (info->NextEntryOffset == 0) break;
      record += info->NextEntryOffset;
    }
    status = NtQueryDirectoryFile(directory, nullptr, nullptr, nullptr, &iosb, buffer, sizeof buffer,
                                  FileBothDirectoryInformation, FALSE, nullptr, FALSE);
    (void)length;
  }
  CloseHandle(directory);
  g_sink = units;
  return seen;
}

bool MakeDirectory() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  g_directory = std::wstring(temp) + L"rylbench-" + std::to_wstring(GetCurrentProcessId());
  if (!CreateDirectoryW(g_directory.c_str(), nullptr)) return false;
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring path = g_directory + L"\\file_" + std::to_wstring(100000 + i) + L".dat";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
  }
  return true;
}

void RemoveScratch() {
  for (int i = 0; i < kFiles; ++i) {
    DeleteFileW((g_directory + L"\\file_" + std::to_wstring(100000 + i) + L".dat").c_str());
  }
  RemoveDirectoryW(g_directory.c_str());
}

}  // namespace

int main() {
  HMODULE dll = LoadLibraryW(L"rylutil.dll");
  if (dll == nullptr) {
    std::printf("cannot load rylutil.dll\n");
    return 1;
  }
  auto init = reinterpret_cast<ResultCode (*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "RylModuleInit")));
  auto finish = reinterpret_cast<ResultCode (*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "RylModuleFinish")));
  auto getObject = reinterpret_cast<ResultCode(RYL_STDCALL*)(RylInterfaceId, void**)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "GetRylObject")));
  void* root = nullptr;
  if (init == nullptr || init() < 0 || getObject(kRylRootInterfaceId, &root) < 0) {
    std::printf("cannot start rylutil\n");
    return 1;
  }
  void* fs = nullptr;
  ObjectReceiver receiver = {&kStore, &fs, 3, kDefaultHeap};
  if (static_cast<RootFactory*>(root)->GetFileSystemService(&receiver) < 0) return 1;
  g_fs = static_cast<FileSystemService*>(fs);

  if (!MakeDirectory()) {
    std::printf("cannot make the directory of %d files\n", kFiles);
    RemoveScratch();
    return 1;
  }
  uint64_t (*bodies[])() = {ListWithEnumeratorObject, ListWithHostEnumerator, ListWithFindFirstFile,
                            ListWithNativeQueries};
  double best[4];
  BestOfTurns(bodies, best);
  RemoveScratch();

  static const char* const kNames[] = {"enumerator object (slot 1)", "host enumerator (slot 3)",
                                       "FindFirstFileW/FindNextFileW", "native queries, 4096-byte batches"};
  int status = 0;
  for (int i = 0; i < 4; ++i) {
    if (best[i] < 0) {
      std::printf("%-34s listed the wrong number of entries\n", kNames[i]);
      status = 1;
      continue;
    }
    std::printf("%-34s %8.3f ms  %12.0f entries/s\n", kNames[i], best[i] * 1e3, kEntries / best[i]);
  }
  if (status == 0) {
    std::printf("ratio enumerator object / system: %.2fx (goal at least 1.0x)\n", best[2] / best[0]);
    std::printf("ratio host enumerator / system:   %.2fx\n", best[2] / best[1]);
    std::printf("ratio native queries / system:    %.2fx\n", best[2] / best[3]);
  }
  static_cast<RootFactory*>(root)->Release();
  finish();
  return status;
}
