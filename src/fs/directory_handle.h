// The directory handle a listing reads from. A listing may be handed a
// handle that its caller keeps, so the wrapper closes only a handle it owns.
// -1 is "none", as the listing state stores it.
#pragma once

#include <cstdint>

#include "sys/scoped_handle.h"

namespace ryl::fs {

class DirectoryHandle {
 public:
  static void* None() noexcept { return sys::ScopedFileHandle::none(); }

  DirectoryHandle() noexcept = default;
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;

  void* get() const noexcept { return owned_.valid() ? owned_.get() : borrowed_; }
  bool valid() const noexcept { return get() != None(); }
  bool owned() const noexcept { return owned_.valid(); }

  // Closes what is held (when owned) and takes the new handle.
  void Reset(void* handle = None(), bool owned = false) noexcept;

 private:
  sys::ScopedFileHandle owned_;
  void* borrowed_ = None();
};

// Closes a handle handed over with ownership when the operation that was to
// take it fails before it could: the caller gave it away either way.
void CloseHandedOverHandle(void* handle) noexcept;

}  // namespace ryl::fs
