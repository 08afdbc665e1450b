// File copy throughput: the library's own native block copy (the route
// CopyFile takes where the platform offers no CopyFileW, forced here by
// calling it directly) against Win32 CopyFileW, in one process, on a 256 MiB
// file. Each copy goes to a fresh target that is deleted untimed afterwards;
// the two take turns, and the best of several runs of each is reported.
// The goal is a ratio (native / CopyFileW) of at least 0.9. It then reads the
// same file sequentially in 64 KiB reads through FileStream and through
// ReadFile; the goal there is also at least 0.9.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/object_ptr.h"
#include "fs/file_operations.h"
#include "fs/file_stream.h"
#include "sys/environment.h"

namespace {

constexpr uint64_t kFileBytes = uint64_t{256} << 20;
constexpr int kRuns = 5;

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& stop, const LARGE_INTEGER& frequency) {
  return static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool MakeSource(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<uint32_t> block(1 << 18);  // 1 MiB
  uint32_t x = 12345;
  bool ok = true;
  for (uint64_t done = 0; ok && done < kFileBytes; done += block.size() * sizeof(uint32_t)) {
    for (uint32_t& word : block) word = x = x * 1103515245u + 12345u;
    DWORD written = 0;
    ok = WriteFile(file, block.data(), static_cast<DWORD>(block.size() * sizeof(uint32_t)), &written, nullptr) &&
         written == block.size() * sizeof(uint32_t);
  }
  CloseHandle(file);
  return ok;
}

uint64_t SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

constexpr uint32_t kReadBytes = 64 << 10;

// Seconds for one sequential pass through FileStream, or a negative value.
double ReadWithFileStream(const std::wstring& path, const LARGE_INTEGER& frequency, std::vector<uint8_t>& buffer) {
  ryl::core::ObjectPtr<ryl::fs::FileStream> stream(ryl::core::MakeObject<ryl::fs::FileStream>());
  const std::u16string path16(path.begin(), path.end());
  if (!stream || stream->Open(path16.c_str(), ryl::fs::kOpenExisting, 0, ryl::fs::kAccessRead, 1, 0) < 0) return -1;
  LARGE_INTEGER start, stop;
  QueryPerformanceCounter(&start);
  uint64_t total = 0;
  for (;;) {
    uint32_t done = 0;
    const ResultCode rc = stream->Read(buffer.data(), kReadBytes, &done);
    total += done;
    if (rc < 0 || done < kReadBytes) break;
  }
  QueryPerformanceCounter(&stop);
  return total == kFileBytes ? Seconds(start, stop, frequency) : -1;
}

double ReadWithReadFile(const std::wstring& path, const LARGE_INTEGER& frequency, std::vector<uint8_t>& buffer) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  LARGE_INTEGER start, stop;
  QueryPerformanceCounter(&start);
  uint64_t total = 0;
  DWORD done = 0;
  while (ReadFile(file, buffer.data(), kReadBytes, &done, nullptr) && done != 0) total += done;
  QueryPerformanceCounter(&stop);
  CloseHandle(file);
  return total == kFileBytes ? Seconds(start, stop, frequency) : -1;
}

}  // namespace

int main() {
  if (ryl::sys::RylEnvironment::InitializeEnvironment() < 0) {
    std::printf("cannot initialise the library's environment\n");
    return 1;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"ryl-copy-bench-" + std::to_wstring(GetCurrentProcessId());
  if (!CreateDirectoryW(dir.c_str(), nullptr)) {
    std::printf("cannot create the work directory\n");
    return 1;
  }
  const std::wstring source = dir + L"\\source.bin";
  const std::wstring target = dir + L"\\target.bin";
  int status = 0;
  if (!MakeSource(source)) {
    std::printf("cannot write the 256 MiB source\n");
    status = 1;
  }

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double bestNative = 1e30;
  double bestWin32 = 1e30;
  for (int run = 0; status == 0 && run < kRuns; ++run) {
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    const ResultCode rc = ryl::fs::CopyFileNative(
        reinterpret_cast<const char16_t*>(source.c_str()), static_cast<uint32_t>(source.size()),
        reinterpret_cast<const char16_t*>(target.c_str()), static_cast<uint32_t>(target.size()), true, false);
    QueryPerformanceCounter(&stop);
    if (rc < 0 || SizeOf(target) != kFileBytes) {
      std::printf("native copy failed: 0x%08lx\n", static_cast<unsigned long>(rc));
      status = 1;
      break;
    }
    bestNative = std::min(bestNative, Seconds(start, stop, frequency));
    DeleteFileW(target.c_str());

    QueryPerformanceCounter(&start);
    const BOOL copied = CopyFileW(source.c_str(), target.c_str(), TRUE);
    QueryPerformanceCounter(&stop);
    if (!copied || SizeOf(target) != kFileBytes) {
      std::printf("CopyFileW failed: %lu\n", GetLastError());
      status = 1;
      break;
    }
    bestWin32 = std::min(bestWin32, Seconds(start, stop, frequency));
    DeleteFileW(target.c_str());
  }

  double bestStream = 1e9;
  double bestReadFile = 1e9;
  std::vector<uint8_t> readBuffer(kReadBytes);
  for (int run = 0; status == 0 && run < kRuns; ++run) {
    const double viaStream = ReadWithFileStream(source, frequency, readBuffer);
    const double viaReadFile = ReadWithReadFile(source, frequency, readBuffer);
    if (viaStream < 0 || viaReadFile < 0) {
      std::printf("sequential read failed\n");
      status = 1;
      break;
    }
    bestStream = std::min(bestStream, viaStream);
    bestReadFile = std::min(bestReadFile, viaReadFile);
  }

  if (status == 0) {
    const double mib = static_cast<double>(kFileBytes) / (1 << 20);
    std::printf("FileStream 64 KiB reads: %8.1f MiB/s (%.3f s)\n", mib / bestStream, bestStream);
    std::printf("ReadFile 64 KiB reads:   %8.1f MiB/s (%.3f s)\n", mib / bestReadFile, bestReadFile);
    std::printf("ratio FileStream / ReadFile: %.2f (goal at least 0.90)\n", bestReadFile / bestStream);
    std::printf("file size:             %.0f MiB, best of %d runs each\n", mib, kRuns);
    std::printf("native CopyFile:       %8.1f MiB/s (%.3f s)\n", mib / bestNative, bestNative);
    std::printf("Win32 CopyFileW:       %8.1f MiB/s (%.3f s)\n", mib / bestWin32, bestWin32);
    std::printf("ratio native / Win32:  %.2f (goal at least 0.90)\n", bestWin32 / bestNative);
  }
  DeleteFileW(target.c_str());
  DeleteFileW(source.c_str());
  RemoveDirectoryW(dir.c_str());
  return status;
}
