// Opening a ZIP archive through the DLL and counting its entries, as a host
// that lists a large archive starts: ZipService::OpenArchive, then
// Archive::GetEntryCount, then a walk reading every entry's name, size and time.
// Prints the time of each step, measured here, and the process's peak
// working set and peak committed memory afterwards
// (GetProcessMemoryInfo). The goals for 100,000 entries: open and count in
// under 1 s, peak memory under 64 MiB.
//
// Usage: zip_open_bench.exe ARCHIVE   (bench/zip_extract_bench.sh makes one)
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ryl/ryl.h"

namespace {

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

const RylReceiverCallbacks kStore = {1, StoreObject};
const AllocatorRecord kDefaultHeap = {nullptr, nullptr};
volatile uint64_t g_sink;  // keeps the time reads from being optimised away

double Since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void PrintMemory(const char* when) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    std::printf("%s: GetProcessMemoryInfo failed (%lu)\n", when, GetLastError());
    return;
  }
  std::printf("%s: working set %.1f MiB (peak %.1f MiB), committed %.1f MiB (peak %.1f MiB)\n", when,
              MiB(counters.WorkingSetSize), MiB(counters.PeakWorkingSetSize), MiB(counters.PagefileUsage),
              MiB(counters.PeakPagefileUsage));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zip_open_bench ARCHIVE\n");
    return 2;
  }
  wchar_t path[MAX_PATH * 4];
  if (GetFullPathNameW(argv[1], MAX_PATH * 4, path, nullptr) == 0) return 2;
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "zip_open_bench: no archive there\n");
    return 2;
  }
  if (RylFailed(RylModuleInit())) return 1;
  void* rootObject = nullptr;
  if (RylFailed(GetRylObject(kRylRootInterfaceId, &rootObject))) return 1;
  auto* root = static_cast<RootFactory*>(rootObject);
  void* factoryObject = nullptr;
  ObjectReceiver receiver = {&kStore, &factoryObject, RYL_VERSION_ARCHIVE_FACTORY, {nullptr, nullptr}};
  if (RylFailed(root->CreateArchiveFactory(&receiver))) return 1;
  auto* factory = static_cast<ArchiveFactory*>(factoryObject);
  ZipService* service = nullptr;
  if (RylFailed(factory->CreateZipService(&service))) return 1;
  PrintMemory("before opening");

  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  Archive* archive = nullptr;
  const ResultCode opened = service->OpenArchive(&archive, path, static_cast<uint32_t>(wcslen(path)));
  const double openSeconds = Since(start);
  if (RylFailed(opened)) {
    std::fprintf(stderr, "OpenArchive failed: 0x%08X\n", static_cast<unsigned>(opened));
    return 1;
  }
  const uint32_t count = archive->GetEntryCount();
  const double countSeconds = Since(start);
  std::printf("entries: %u\n", count);
  std::printf("open: %.3f s, open + count: %.3f s\n", openSeconds, countSeconds);
  PrintMemory("after open + count");

  // Listing as rylcli zip list does: every name and size.
  LARGE_INTEGER walkStart;
  QueryPerformanceCounter(&walkStart);
  EntryEnumerator* enumerator = nullptr;
  uint64_t listed = 0;
  uint64_t units = 0;
  uint64_t total = 0;
  uint64_t times = 0;
  if (RylFailed(archive->CreateEnumerator(&enumerator))) return 1;
  for (;;) {
    ArchiveEntry* entry = nullptr;
    if (RylFailed(enumerator->Current(&entry))) break;
    RylStringView name = {nullptr, 0};
    entry->GetName(&name);
    units += name.length;
    total += entry->GetUncompressedSize();
    times ^= entry->GetTime();
    ++listed;
    if (enumerator->MoveNext() != RYL_OK) break;
  }
  enumerator->Release();
  g_sink = times;
  std::printf("walk (names, sizes, times): %llu entries, %llu name units, %llu bytes in %.3f s; "
              "open + count + walk: %.3f s\n",
              static_cast<unsigned long long>(listed), static_cast<unsigned long long>(units),
              static_cast<unsigned long long>(total), Since(walkStart), Since(start));
  PrintMemory("after the walk");

  archive->Release();
  service->Release();
  factory->Destroy(&kDefaultHeap);
  root->Release();
  RylModuleFinish();
  return listed == count ? 0 : 1;
}
