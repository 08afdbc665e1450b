#include "fs/directory_handle.h"

#include "sys/native_api.h"

namespace ryl::fs {

void DirectoryHandle::Reset(void* handle, bool owned) noexcept {
  if (owned_ && handle_ != None() && handle_ != nullptr) {
    const DWORD lastError = GetLastError();
    ZwClose(handle_);
    SetLastError(lastError);
  }
  handle_ = handle;
  owned_ = owned;
}

void CloseHandedOverHandle(void* handle) noexcept {
  DirectoryHandle taken;
  taken.Reset(handle, true);
}

}  // namespace ryl::fs
