// The release comes from the SDK header rylcli was compiled with; the DLL's
// from the version resource of the module actually mapped into this
// process, which is the one that matters when a different rylutil.dll was
// found first on the search path.
#include "version_command.h"

#include <ryl/version.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "utf8_text.h"

namespace rylcli {

int RunVersion() {
  Out("rylcli %s\n", RYL_SDK_VERSION_STRING);
  HMODULE module = GetModuleHandleW(L"rylutil.dll");
  if (module == nullptr) return ReportWin32Failure("rylutil.dll is not loaded", GetLastError());
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ReportWin32Failure("cannot name the loaded rylutil.dll", GetLastError());
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return ReportWin32Failure("cannot read the version of " + Utf8(path), GetLastError());
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
    return ReportWin32Failure("cannot read the version of " + Utf8(path), GetLastError());
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return ReportWin32Failure("no fixed version information in " + Utf8(path), ERROR_RESOURCE_TYPE_NOT_FOUND);
  }
  Out("rylutil.dll %u.%u.%u.%u (%s)\n", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
      static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)), static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
      static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)), Utf8(path).c_str());
  return kExitOk;
}

}  // namespace rylcli
