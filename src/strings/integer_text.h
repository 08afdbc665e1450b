// Integer text: digits in a base, a minimum digit count, sign and prefix, and
// padding to a width, as the formatter's integer conversions and the number
// text slots write it.
#pragma once

#include <cstdint>

#include "strings/format_directive.h"
#include "strings/format_target.h"

namespace ryl::strings {

// Precisions above this are taken as this.
inline constexpr uint32_t kMaxIntegerPrecision = 32;

// Writes the digits of value in base (2 to 36) so that they end just before
// end, and returns the count. Letters are lower case unless upperCase.
uint32_t WriteDigitsBackwards(char* end, uint64_t value, uint32_t base, bool upperCase) noexcept;

// Appends magnitude (with a "-" when negative) under directive: the precision is
// the minimum number of digits (a zero with precision 0 has none); "#" puts
// "0" before octal digits that do not already start with one and "0x" or
// "0X" before a hexadecimal value that is not zero; "+" or else " " stands
// before a value that is not negative; the width pads with spaces before,
// with spaces after when left-justified, or with zeros between sign or
// prefix and digits when zero-padded (a precision does not turn that off).
template <typename Char>
[[nodiscard]] ResultCode AppendInteger(FormatTarget<Char>& target, const FormatDirective& directive, bool negative,
                                       uint64_t magnitude, uint32_t base) noexcept;

extern template ResultCode AppendInteger<char>(FormatTarget<char>&, const FormatDirective&, bool, uint64_t,
                                               uint32_t) noexcept;
extern template ResultCode AppendInteger<char16_t>(FormatTarget<char16_t>&, const FormatDirective&, bool, uint64_t,
                                                   uint32_t) noexcept;

}  // namespace ryl::strings
