// Recursive removal and bulk copy of a 10,000-file tree through the DLL
// against the plain Win32 way in one process: a FindFirstFileW /
// DeleteFileW / RemoveDirectoryW walk, and a FindFirstFileW / CopyFileW
// loop. Each run makes the tree afresh (100 directories of 100 files of
// 256 bytes), times the copy of one directory's files and the removal of
// the whole tree, and the two sides take turns. The goal is a ratio
// (Win32 time / DLL time) of at least 1.0 for each.
//
// Run under Wine with a persistent server (`wineserver -p`), from the build
// directory: cmake/wine-run.sh bench/directory_bench.exe
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_host.h"
#include "bench_timing.h"

namespace {

constexpr int kDirectories = 100;
constexpr int kFilesEach = 100;
constexpr int kRuns = 5;

bool MakeTree(const std::wstring& root) {
  if (!CreateDirectoryW(root.c_str(), nullptr)) return false;
  const std::string bytes(256, 'x');
  for (int d = 0; d < kDirectories; ++d) {
    const std::wstring dir = root + L"\\d" + std::to_wstring(d);
    if (!CreateDirectoryW(dir.c_str(), nullptr)) return false;
    for (int f = 0; f < kFilesEach; ++f) {
      const std::wstring file = dir + L"\\f" + std::to_wstring(f) + L".bin";
      HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) return false;
      DWORD written = 0;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
      CloseHandle(h);
    }
  }
  return true;
}

// The plain Win32 walk: depth first, files deleted, then the directory.
bool Win32Remove(const std::wstring& directory) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = directory + L"\\" + name;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ok = Win32Remove(child) && ok;
    } else {
      ok = DeleteFileW(child.c_str()) != 0 && ok;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return RemoveDirectoryW(directory.c_str()) != 0 && ok;
}

int Win32CopyFiles(const std::wstring& from, const std::wstring& to) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((from + L"\\*.bin").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  int copied = 0;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::wstring name = data.cFileName;
    if (CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE)) ++copied;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return copied;
}

}  // namespace

int main() {
  RootFactory* root = ryl::bench::StartRoot();
  if (root == nullptr) return 1;
  FileSystemService* fs = nullptr;
  const ObjectReceiver receiver = ryl::bench::StoreInto(&fs);
  if (root->GetFileSystemService(&receiver) < 0 || fs == nullptr) return 1;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring base = std::wstring(temp) + L"ryl-directory-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(base.c_str(), nullptr);

  std::vector<double> moduleCopy, win32Copy, moduleRemove, win32Remove;
  int failures = 0;
  for (int run = 0; run < kRuns; ++run) {
    for (int side = 0; side < 2; ++side) {
      const bool module = (run + side) % 2 == 0;
      const std::wstring tree = base + L"\\tree";
      const std::wstring target = base + L"\\copy";
      if (!MakeTree(tree) || !CreateDirectoryW(target.c_str(), nullptr)) {
        std::printf("cannot make the tree\n");
        return 1;
      }
      // The copy: the files of every directory of the tree into one.
      double start = ryl::bench::Now();
      int copied = 0;
      for (int d = 0; d < kDirectories; ++d) {
        const std::wstring from = tree + L"\\d" + std::to_wstring(d);
        if (module) {
          uint32_t count = 0;
          if (fs->CopyDirectoryFiles(from.c_str(), static_cast<uint32_t>(from.size()), target.c_str(),
                                     static_cast<uint32_t>(target.size()), L"*.bin", 5, 0, &count) < 0) {
            ++failures;
          }
          copied += static_cast<int>(count);
        } else {
          copied += Win32CopyFiles(from, target);
        }
      }
      (module ? moduleCopy : win32Copy).push_back(ryl::bench::Now() - start);
      if (copied != kDirectories * kFilesEach) ++failures;
      // The removal of the whole tree.
      start = ryl::bench::Now();
      bool removed;
      if (module) {
        removed = fs->RemoveDirectory(tree.c_str(), static_cast<uint32_t>(tree.size()), 1, 0) == RYL_OK;
      } else {
        removed = Win32Remove(tree);
      }
      (module ? moduleRemove : win32Remove).push_back(ryl::bench::Now() - start);
      if (!removed || GetFileAttributesW(tree.c_str()) != INVALID_FILE_ATTRIBUTES) ++failures;
      Win32Remove(target);
    }
  }
  RemoveDirectoryW(base.c_str());
  const double copyRatio = ryl::bench::Median(win32Copy) / ryl::bench::Median(moduleCopy);
  const double removeRatio = ryl::bench::Median(win32Remove) / ryl::bench::Median(moduleRemove);
  std::printf("%d files in %d directories, median of %d runs\n", kDirectories * kFilesEach, kDirectories, kRuns);
  std::printf("copy    module %.3f s  win32 %.3f s  ratio %.2f (goal >= 1.0)\n", ryl::bench::Median(moduleCopy),
              ryl::bench::Median(win32Copy), copyRatio);
  std::printf("remove  module %.3f s  win32 %.3f s  ratio %.2f (goal >= 1.0)\n", ryl::bench::Median(moduleRemove),
              ryl::bench::Median(win32Remove), removeRatio);
  if (failures != 0) std::printf("%d failures\n", failures);
  root->Release();
  RylModuleFinish();
  return failures == 0 && copyRatio >= 1.0 && removeRatio >= 1.0 ? 0 : 2;
}
