#include "directories.h"

#include <windows.h>

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

}  // namespace rylcli
