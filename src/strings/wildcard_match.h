// Matching names against wildcard patterns: "*" matches any run of units
// (including none), "?" exactly one unit, anything else itself. The patterns
// "*" and "*.*" match every name, with or without a dot.
#pragma once

#include <cstdint>

namespace ryl::strings {

enum class LetterCaseRule : uint8_t { kExact, kIgnoreCase };

// Time is bounded by pattern length times name length, whatever the pattern.
[[nodiscard]] bool MatchWildcard(LetterCaseRule rule, const char16_t* pattern, uint32_t patternLength,
                                 const char16_t* name, uint32_t nameLength) noexcept;

}  // namespace ryl::strings
