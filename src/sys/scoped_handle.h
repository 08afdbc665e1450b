// Native handles closed with NtClose. A section or key handle is "none" at 0;
// a file handle is "none" at -1, as the file objects store it. Handles are
// held as void* (what HANDLE is) so that headers which keep a handle need not
// bring in the Windows headers.
#pragma once

#include <cstdint>
#include <utility>

namespace ryl::sys {

// NtClose, keeping the thread's last error; the native status.
int32_t CloseNativeHandle(void* handle) noexcept;

template <intptr_t None>
class ScopedNativeHandle {
 public:
  ScopedNativeHandle() noexcept = default;
  explicit ScopedNativeHandle(void* handle) noexcept : handle_(handle) {}
  ~ScopedNativeHandle() { (void)reset(); }
  ScopedNativeHandle(ScopedNativeHandle&& other) noexcept : handle_(other.release()) {}
  ScopedNativeHandle& operator=(ScopedNativeHandle&& other) noexcept {
    if (this != &other) (void)reset(other.release());
    return *this;
  }
  ScopedNativeHandle(const ScopedNativeHandle&) = delete;
  ScopedNativeHandle& operator=(const ScopedNativeHandle&) = delete;

  static void* none() noexcept { return reinterpret_cast<void*>(None); }

  void* get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != none(); }
  void** receive() noexcept {
    (void)reset();
    return &handle_;
  }
  [[nodiscard]] void* release() noexcept { return std::exchange(handle_, none()); }
  // Returns the close status (0 when nothing was held).
  int32_t reset(void* handle = none()) noexcept {
    void* old = std::exchange(handle_, handle);
    return old != none() ? CloseNativeHandle(old) : 0;
  }

 private:
  void* handle_ = none();
};

using ScopedHandle = ScopedNativeHandle<0>;
using ScopedFileHandle = ScopedNativeHandle<-1>;

}  // namespace ryl::sys
