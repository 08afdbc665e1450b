// The number text slots: integers in a base and doubles to a number of
// significant digits, written into OutputBuffers of bytes or UTF-16 units.
#pragma once

#include <cstdint>

#include "ryl/records.h"

namespace ryl::strings {

// Replaces the buffer's contents with the value's digits. Base 0 means 10;
// bases 2 to 36 are accepted, others are RYL_E_INVALID_ARG. In base 10 a
// signed value is written as "-" and its magnitude. In any other base the
// value is first reduced to its low width * 8 bits (two's complement: -1 of
// width 2 in base 16 is ffff), so width must be 1 to 8 there. Letters are
// lower case.
template <typename Char>
[[nodiscard]] ResultCode WriteIntegerText(OutputBuffer* output, bool isSigned, uint64_t bits, uint32_t base,
                                          uint32_t width) noexcept;

// Appends the value in exponential form with digits - 1 digits after the
// point (a digit count of 0 is taken as 1; at most 21 count).
template <typename Char>
[[nodiscard]] ResultCode AppendDoubleText(OutputBuffer* output, double value, uint32_t digits) noexcept;

extern template ResultCode WriteIntegerText<char>(OutputBuffer*, bool, uint64_t, uint32_t, uint32_t) noexcept;
extern template ResultCode WriteIntegerText<char16_t>(OutputBuffer*, bool, uint64_t, uint32_t, uint32_t) noexcept;
extern template ResultCode AppendDoubleText<char>(OutputBuffer*, double, uint32_t) noexcept;
extern template ResultCode AppendDoubleText<char16_t>(OutputBuffer*, double, uint32_t) noexcept;

}  // namespace ryl::strings
