// Integers from 8-bit or UTF-16 text, which behave alike unit for unit.
//
// Base 0 means 16 when at least three characters remain after the sign and
// they begin with "0x" or "0X" (the prefix is skipped), else 10; base 16
// skips the same prefix under the same condition; other bases are used as
// given. Digits are 0-9, then a-z and A-Z as 10-35. The parse ends at the
// first unit that is not a digit below the base, or at the digit that would
// pass the limit, keeping the value before it.
//
// The stop position, when asked for, is set to null first and to the unit
// that ended the parse when that was before the end of the text; a parse that
// ended early then fails with RYL_E_INVALID_ARG, while a caller that did not
// ask gets the value so far and success. The value is stored either way.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::strings {

// Limit 2^64 - 1. Text starting with "-" is refused with RYL_E_INVALID_ARG
// (stop position: the start), leaving the value untouched.
template <typename Char>
[[nodiscard]] ResultCode ParseUnsigned(uint64_t* outValue, const Char* text, uint32_t length, uint32_t base,
                                       const Char** outStop) noexcept;

// One leading "-" is accepted. The magnitude is limited to 2^(8w-1) for
// negative numbers and 2^(8w-1) - 1 for positive ones, or 2^(8w) - 1 for
// positive numbers in base 16, where w is the width in bytes (1 to 8; any
// other width is RYL_E_INVALID_ARG). The value stored is the 64-bit two's
// complement of the (negated) magnitude.
template <typename Char>
[[nodiscard]] ResultCode ParseSigned(int64_t* outValue, const Char* text, uint32_t length, uint32_t base,
                                     const Char** outStop, uint32_t width) noexcept;

extern template ResultCode ParseUnsigned<char>(uint64_t*, const char*, uint32_t, uint32_t, const char**) noexcept;
extern template ResultCode ParseUnsigned<char16_t>(uint64_t*, const char16_t*, uint32_t, uint32_t,
                                                   const char16_t**) noexcept;
extern template ResultCode ParseSigned<char>(int64_t*, const char*, uint32_t, uint32_t, const char**,
                                             uint32_t) noexcept;
extern template ResultCode ParseSigned<char16_t>(int64_t*, const char16_t*, uint32_t, uint32_t, const char16_t**,
                                                 uint32_t) noexcept;

}  // namespace ryl::strings
