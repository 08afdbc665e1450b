#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace rylcli {

// One extracted file as the writer thread sees it. error is set once, by
// whichever thread first sees a write fail; done turns true when the file
// has been closed (and removed again if it did not come out whole).
struct PendingFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring path;
  // When set, path is a new file beside this one, renamed over it once
  // complete; a failure leaves this one as it was.
  std::wstring replaces;
  std::atomic<DWORD> error{0};
  std::atomic<bool> done{false};
};

}  // namespace rylcli
