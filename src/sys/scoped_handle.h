// Native handles closed with NtClose. A section or key handle is "none" at 0;
// a file handle is "none" at -1, as the file objects store it.
#pragma once

#include <utility>

#include "sys/native_api.h"

namespace ryl::sys {

template <HANDLE (*None)()>
class ScopedNativeHandle {
 public:
  ScopedNativeHandle() noexcept = default;
  explicit ScopedNativeHandle(HANDLE handle) noexcept : handle_(handle) {}
  ~ScopedNativeHandle() { reset(); }
  ScopedNativeHandle(ScopedNativeHandle&& other) noexcept : handle_(other.release()) {}
  ScopedNativeHandle& operator=(ScopedNativeHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedNativeHandle(const ScopedNativeHandle&) = delete;
  ScopedNativeHandle& operator=(const ScopedNativeHandle&) = delete;

  HANDLE get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != None(); }
  HANDLE* receive() noexcept {
    reset();
    return &handle_;
  }
  [[nodiscard]] HANDLE release() noexcept { return std::exchange(handle_, None()); }
  // Returns the close status; resetting keeps the thread's last error.
  NTSTATUS reset(HANDLE handle = None()) noexcept {
    NTSTATUS status = STATUS_SUCCESS;
    HANDLE old = std::exchange(handle_, handle);
    if (old != None()) {
      const DWORD lastError = GetLastError();
      status = NtClose(old);
      SetLastError(lastError);
    }
    return status;
  }

 private:
  HANDLE handle_ = None();
};

inline HANDLE NullHandle() noexcept { return nullptr; }
inline HANDLE InvalidFileHandle() noexcept { return INVALID_HANDLE_VALUE; }

using ScopedHandle = ScopedNativeHandle<NullHandle>;
using ScopedFileHandle = ScopedNativeHandle<InvalidFileHandle>;

}  // namespace ryl::sys
