// A UNICODE_STRING whose buffer the native layer allocated (the path
// converters, RtlCreateUnicodeString) and which RtlFreeUnicodeString
// releases. An empty Buffer means "none".
#pragma once

#include <cstdint>

#include "sys/native_api.h"

namespace ryl::sys {

class ScopedRtlUnicodeString {
 public:
  ScopedRtlUnicodeString() noexcept = default;
  ~ScopedRtlUnicodeString() { Reset(); }
  ScopedRtlUnicodeString(const ScopedRtlUnicodeString&) = delete;
  ScopedRtlUnicodeString& operator=(const ScopedRtlUnicodeString&) = delete;
  ScopedRtlUnicodeString(ScopedRtlUnicodeString&& other) noexcept : value_(other.Release()) {}
  ScopedRtlUnicodeString& operator=(ScopedRtlUnicodeString&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = other.Release();
    }
    return *this;
  }

  const UNICODE_STRING& get() const noexcept { return value_; }
  const UNICODE_STRING* ptr() const noexcept { return &value_; }
  bool has_value() const noexcept { return value_.Buffer != nullptr; }
  const wchar_t* data() const noexcept { return value_.Buffer; }
  // In UTF-16 units.
  uint32_t size() const noexcept { return value_.Length / sizeof(WCHAR); }

  // Frees what is held and hands out the record for a native routine to fill.
  UNICODE_STRING* Receive() noexcept {
    Reset();
    return &value_;
  }

  // The caller takes over the buffer and frees it with RtlFreeUnicodeString.
  UNICODE_STRING Release() noexcept {
    const UNICODE_STRING taken = value_;
    value_ = UNICODE_STRING{};
    return taken;
  }

  void Reset() noexcept {
    if (value_.Buffer != nullptr) {
      // Resetting keeps the thread's last error, as every wrapper does.
      const DWORD lastError = GetLastError();
      RtlFreeUnicodeString(&value_);
      SetLastError(lastError);
    }
    value_ = UNICODE_STRING{};
  }

 private:
  UNICODE_STRING value_{};
};

}  // namespace ryl::sys
