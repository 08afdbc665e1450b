#include "directories.h"

#include <windows.h>
#include <winternl.h>

namespace rylcli {

bool EnsureDirectories(const std::wstring& path) {
  // The search starts past "C:\" so that the drive itself is never created.
  for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
    const std::wstring part = at == std::wstring::npos ? path : path.substr(0, at);
    if (!part.empty() && GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CreateDirectoryW(part.c_str(), nullptr)) {
      return false;
    }
    if (at == std::wstring::npos) return true;
  }
}

bool EnsureDirectoriesBelow(const std::wstring& base, const std::wstring& relative) {
  if (relative.empty()) return true;
  // Most calls find the whole path there already.
  const DWORD attributes = GetFileAttributesW((base + L"\\" + relative).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  constexpr ACCESS_MASK kAccess = FILE_TRAVERSE | FILE_LIST_DIRECTORY | FILE_ADD_SUBDIRECTORY | SYNCHRONIZE;
  // "C:" alone names the drive's current directory; its root is "C:\".
  const std::wstring opened = base.size() == 2 && base[1] == L':' ? base + L"\\" : base;
  HANDLE parent = CreateFileW(opened.c_str(), kAccess, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
  if (parent == INVALID_HANDLE_VALUE) return false;
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    const auto bytes = static_cast<USHORT>((end - start) * sizeof(wchar_t));
    UNICODE_STRING name = {bytes, bytes, const_cast<wchar_t*>(relative.data() + start)};
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &name, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK status;
    HANDLE child = nullptr;
    const NTSTATUS rc = NtCreateFile(&child, kAccess, &object, &status, nullptr, FILE_ATTRIBUTE_NORMAL, kShareAll,
                                     FILE_OPEN_IF, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    CloseHandle(parent);
    if (rc < 0) return false;
    parent = child;
    start = end + 1;
  }
  CloseHandle(parent);
  return true;
}

}  // namespace rylcli
