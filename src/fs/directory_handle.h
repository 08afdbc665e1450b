// The directory handle a listing reads from. A listing may be handed a
// handle that its caller keeps, so the wrapper closes (with ZwClose) only a
// handle it owns. -1 is "none", as the listing state stores it.
#pragma once

#include <cstdint>

namespace ryl::fs {

class DirectoryHandle {
 public:
  static void* None() noexcept { return reinterpret_cast<void*>(static_cast<intptr_t>(-1)); }

  DirectoryHandle() noexcept = default;
  ~DirectoryHandle() { Reset(); }
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;

  void* get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != None(); }
  bool owned() const noexcept { return owned_; }

  // Closes what is held (when owned) and takes the new handle.
  void Reset(void* handle = None(), bool owned = false) noexcept;

 private:
  void* handle_ = None();
  bool owned_ = false;
};

// Closes a handle handed over with ownership when the operation that was to
// take it fails before it could: the caller gave it away either way.
void CloseHandedOverHandle(void* handle) noexcept;

}  // namespace ryl::fs
