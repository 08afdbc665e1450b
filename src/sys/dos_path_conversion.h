// The DOS-to-native path conversion behind file and directory opens and the
// delete-type operations.
#pragma once

#include <type_traits>

#include "ryl/result.h"
#include "sys/native_api.h"

namespace ryl::sys {

// Converts a zero-terminated DOS path into a native path, as
// RtlDosPathNameToNtPathName_U does, with two differences:
// - a path already in the native namespace (RylWinIsNtFilePath) is copied as
//   it is;
// - a path whose last name is a reserved device name (`C:\d\con`,
//   `out\nul.txt`, `com1`) names a file of that name in its directory, never
//   the device. Opening the console or the null device when the host named a
//   file would make writes vanish while reporting success.
//   `\\.\con` still reaches the device: that form asks for it explicitly.
// On success *out holds a string the caller frees with RtlFreeUnicodeString.
// On failure *out is left untouched: RYL_E_INVALID_ARG for a null argument,
// RYL_E_OUT_OF_MEMORY, or the path-not-found code the native status
// 0xC000003A maps to for a path that cannot be converted.
[[nodiscard]] ResultCode RylNtdll_RtlDosPathNameToNtPathName_U_EliminateDosDevice(PCWSTR dosPath,
                                                                                  UNICODE_STRING* out) noexcept;

// The same for any 16-bit character type (wchar_t, char16_t).
template <typename Char>
[[nodiscard]] ResultCode RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(const Char* dosPath,
                                                                                  UNICODE_STRING* out) noexcept {
  static_assert(sizeof(Char) == sizeof(WCHAR) && std::is_integral_v<Char>, "UTF-16 code units");
  return RylNtdll_RtlDosPathNameToNtPathName_U_EliminateDosDevice(reinterpret_cast<PCWSTR>(dosPath), out);
}

}  // namespace ryl::sys
