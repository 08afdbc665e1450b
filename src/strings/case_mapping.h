// Case mapping and case-insensitive comparison of UTF-16 text through the
// system's Unicode case tables, unit by unit (surrogates are mapped as they
// stand, never as pairs).
#pragma once

#include <cstdint>

#include "ryl/records.h"

namespace ryl::strings {

enum class LetterCase : uint8_t { kLower, kUpper };

// Writes the mapped copy of the text to output. flags must be 0. A length of
// 0xFFFFFFFF means the text ends at its first zero unit. A module-owned
// UTF-16 output takes the result by Swap; any other buffer gets a copy.
[[nodiscard]] ResultCode MapCase(LetterCase target, uint32_t flags, OutputBuffer* output, const char16_t* text,
                                 uint32_t length) noexcept;

[[nodiscard]] char16_t ToLowerUnit(char16_t unit) noexcept;
[[nodiscard]] char16_t ToUpperUnit(char16_t unit) noexcept;

// -1, 0 or 1, comparing upper-cased units where the texts differ; with a
// common prefix the shorter text sorts first. A null text counts as empty.
[[nodiscard]] int32_t CompareNoCase(const char16_t* first, uint32_t firstLength, const char16_t* second,
                                    uint32_t secondLength) noexcept;

}  // namespace ryl::strings
