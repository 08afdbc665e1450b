// Doubles from 8-bit or UTF-16 text, which behave alike unit for unit.
//
// An optional "+" or "-"; the digits of the integer part; then, if the text
// goes on, "." or "," and the digits of the fraction; then an exponent ("e"
// or "E", an optional sign, at least one digit). The value is accumulated in
// the x87 extended format (64-bit significand, whatever precision the host
// set): the integer part digit by digit, the fraction as an integer divided
// by ten per digit, eight digits at a time; the exponent scales the sum by a
// power of ten. With flags 1 the words inf, infinity and nan (any case) are
// accepted after the sign. Fraction digits past the extended format's
// precision are read and do not count.
//
// The stop position follows the integer parses: set to null first, and to
// the unit that ended the parse when that was before the end of the text;
// such a parse then fails with RYL_E_INVALID_ARG, while a caller that did not
// ask gets the value so far and success. The value is stored either way. A
// number beyond the double range stores the infinity of its sign and answers
// RYL_W_INFINITE.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::strings {

inline constexpr uint32_t kParseDoubleWords = 1;

template <typename Char>
[[nodiscard]] ResultCode ParseDoubleText(double* outValue, const Char* text, uint32_t length, const Char** outStop,
                                         uint32_t flags) noexcept;

extern template ResultCode ParseDoubleText<char>(double*, const char*, uint32_t, const char**, uint32_t) noexcept;
extern template ResultCode ParseDoubleText<char16_t>(double*, const char16_t*, uint32_t, const char16_t**,
                                                     uint32_t) noexcept;

}  // namespace ryl::strings
