// The formatter's arguments, read in the platform's variadic layout: on the
// 32-bit target every argument fills whole 32-bit slots (a 64-bit integer or
// a double two of them), so an argument read with the wrong size shifts all
// that follow. The format decides each size; nothing here can check it.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace ryl::strings {

class FormatArguments {
 public:
  // list must be the caller's own copy (va_copy), never a va_list parameter:
  // on some targets a parameter is an array that decayed to a pointer.
  explicit FormatArguments(va_list* list) noexcept : list_(list) {}

  int32_t TakeInt32() noexcept { return va_arg(*list_, int32_t); }
  int64_t TakeInt64() noexcept { return va_arg(*list_, int64_t); }
  double TakeDouble() noexcept { return va_arg(*list_, double); }
  uintptr_t TakePointerValue() noexcept { return va_arg(*list_, uintptr_t); }
  template <typename T>
  const T* TakePointer() noexcept {
    return va_arg(*list_, const T*);
  }

 private:
  va_list* list_;
};

}  // namespace ryl::strings
