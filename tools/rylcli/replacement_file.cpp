#include "replacement_file.h"

#include <windows.h>

#include <cwchar>

#include "win32_result.h"

namespace rylcli {

std::wstring TemporaryPathBeside(const std::wstring& target) {
  wchar_t suffix[64];
  std::swprintf(suffix, 64, L".rylcli-%lx-%llx.tmp", GetCurrentProcessId(),
                static_cast<unsigned long long>(GetTickCount64()));
  return target + suffix;
}

ResultCode ReplaceWith(const std::wstring& from, const std::wstring& target) {
  if (MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return RYL_OK;
  return FromWin32(GetLastError());
}

}  // namespace rylcli
