// The module's printf-style formatter over narrow and UTF-16 text.
//
// Text up to each "%" is copied; each directive is parsed and converted
// (integers, characters, strings of either width, counted strings, string
// views, pointers, doubles); a directive the formatter does not know is
// copied as it stands and takes no argument, so "%n" never writes anywhere.
// A "%" whose directive runs into the end of the text or into a control
// character is written as a single "%". The UTF-16 formatter mirrors the
// narrow one with the roles of narrow and wide strings exchanged. options is
// the encoding of narrow text on the side of a conversion that is not the
// output's own (0: the ANSI code page).
#pragma once

#include <cstdarg>
#include <cstdint>

#include "strings/format_target.h"

namespace ryl::strings {

// Widths above kMaxFieldWidth fail with RYL_E_INVALID_ARG; a failure of the
// destination or of a conversion ends the format with its code. Either way
// the destination keeps the text of the directives before the failing
// one.
template <typename Char>
[[nodiscard]] ResultCode Format(uint32_t options, FormatTarget<Char>& target, const Char* format,
                                va_list arguments) noexcept;

extern template ResultCode Format<char>(uint32_t, FormatTarget<char>&, const char*, va_list) noexcept;
extern template ResultCode Format<char16_t>(uint32_t, FormatTarget<char16_t>&, const char16_t*, va_list) noexcept;

}  // namespace ryl::strings
