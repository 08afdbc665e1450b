#include "fs/directory_handle.h"

namespace ryl::fs {

void DirectoryHandle::Reset(void* handle, bool owned) noexcept {
  (void)owned_.reset();
  borrowed_ = None();
  // A null handle is nothing to close, owned or not.
  if (owned && handle != nullptr && handle != None()) {
    (void)owned_.reset(handle);
  } else {
    borrowed_ = handle;
  }
}

void CloseHandedOverHandle(void* handle) noexcept {
  DirectoryHandle taken;
  taken.Reset(handle, true);
}

}  // namespace ryl::fs
