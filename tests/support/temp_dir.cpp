#include "support/temp_dir.h"

#include <winternl.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace ryl::test {
namespace {

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = dir + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

std::atomic<unsigned> g_counter{0};

}  // namespace

TempDir::TempDir() {
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH, base);
  std::wstring root(base, n);
  if (!root.empty() && root.back() == L'\\') root.pop_back();
  path_ = root + L"\\ryltest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) +
          L"-" + std::to_wstring(g_counter.fetch_add(1));
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(path_); }

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ReadWholeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string("<missing>");
  std::string bytes;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n != 0) bytes.append(buffer, n);
  CloseHandle(file);
  return bytes;
}

unsigned long ProcessHandleCount() {
  // Windows answers ProcessHandleCount; Wine answers 0 whatever the process
  // holds, and then this process's entries in the system's handle table are
  // counted instead.
  ULONG count = 0;
  if (NtQueryInformationProcess(GetCurrentProcess(), static_cast<PROCESSINFOCLASS>(20), &count, sizeof count,
                                nullptr) >= 0 &&
      count != 0) {
    return count;
  }
  struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
  constexpr auto kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
  std::vector<uint8_t> buffer(1 << 16);
  NTSTATUS status;
  for (;;) {
    ULONG returned = 0;
    status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                      &returned);
    if (status != kInfoLengthMismatch || buffer.size() >= (64u << 20)) break;
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return ~0ul;  // never equal to a real count twice by accident
  const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
  const ULONG self = GetCurrentProcessId();
  unsigned long own = 0;
  for (ULONG i = 0; i < entries; ++i) {
    if (entry[i].ownerPid == self) ++own;
  }
  return own;
}

}  // namespace ryl::test
