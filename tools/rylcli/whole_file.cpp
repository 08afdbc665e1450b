#include "whole_file.h"
#include "cli_output.h"
#include "failure.h"
#include "utf8_text.h"

#include <windows.h>

#include <cstdio>

namespace rylcli {

bool ReadWholeFile(const wchar_t* path, std::string* out) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ReportWin32Failure("cannot open " + Utf8(path), GetLastError());
    return false;
  }
  static char chunk[1 << 16];
  for (;;) {
    DWORD done = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &done, nullptr)) {
      ReportWin32Failure("cannot read " + Utf8(path), GetLastError());
      CloseHandle(file);
      return false;
    }
    if (done == 0) break;
    out->append(chunk, done);
  }
  CloseHandle(file);
  return true;
}

}  // namespace rylcli
