// Floating-point text for the e, E, f, g and G conversions and for the
// significant-digits slots. Infinities and NaNs are written by the module
// ("inf", "nan", with the sign rules below); every finite value by the
// platform runtime's formatter under the classic locale, so the digits,
// rounding and exponent width are exactly the runtime's.
#pragma once

#include <cstdint>

#include "strings/format_directive.h"
#include "strings/format_target.h"

namespace ryl::strings {

// Precisions above this are taken as this; none means 6.
inline constexpr uint32_t kMaxFloatPrecision = 20;

// directive.conversion is one of e, E, f, g, G. An infinity or NaN is "inf" or
// "nan" after "-" (negative infinity only), else "+" with the plus flag, else
// " " with the space flag; padded to the width with spaces before, spaces
// after when left-justified, or zeros after the sign when zero-padded. A
// failure of the runtime formatter is RYL_E_BAD_FORMAT.
template <typename Char>
[[nodiscard]] ResultCode AppendDouble(FormatTarget<Char>& target, const FormatDirective& directive, double value) noexcept;

extern template ResultCode AppendDouble<char>(FormatTarget<char>&, const FormatDirective&, double) noexcept;
extern template ResultCode AppendDouble<char16_t>(FormatTarget<char16_t>&, const FormatDirective&, double) noexcept;

}  // namespace ryl::strings
