// Wildcard matching against a reference: the textbook table over (pattern
// position, name position), which follows the rules of wildcard_match.h
// directly and shares nothing with the library's single-backtrack loop.
//
// Input: flags (bit 0: ignore case; bit 1: units from byte pairs instead of
// single bytes), the pattern length in units, then the units: pattern, name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "strings/wildcard_match.h"
#include "sys/code_pages.h"

namespace {

using ryl::strings::LetterCaseRule;

// Keeps the reference's table small.
constexpr size_t kReferenceCells = size_t{1} << 20;

bool SameUnit(LetterCaseRule rule, char16_t a, char16_t b) {
  if (rule == LetterCaseRule::kIgnoreCase) return ryl::sys::RylUpcaseChar(a) == ryl::sys::RylUpcaseChar(b);
  return a == b;
}

bool ReferenceMatch(LetterCaseRule rule, const std::u16string& pattern, const std::u16string& name) {
  if (pattern == u"*" || pattern == u"*.*") return true;
  const size_t p = pattern.size();
  const size_t n = name.size();
  // matches[i][j]: the first i pattern units match the first j name units.
  std::vector<std::vector<bool>> matches(p + 1, std::vector<bool>(n + 1, false));
  matches[0][0] = true;
  for (size_t i = 1; i <= p; ++i) {
    const char16_t unit = pattern[i - 1];
    for (size_t j = 0; j <= n; ++j) {
      if (unit == u'*') {
        matches[i][j] = matches[i - 1][j] || (j > 0 && matches[i][j - 1]);
      } else if (j > 0) {
        matches[i][j] = matches[i - 1][j - 1] && (unit == u'?' || SameUnit(rule, unit, name[j - 1]));
      }
    }
  }
  return matches[p][n];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const LetterCaseRule rule = (data[0] & 1) != 0 ? LetterCaseRule::kIgnoreCase : LetterCaseRule::kExact;
  const bool wideUnits = (data[0] & 2) != 0;
  std::u16string units;
  if (wideUnits) {
    for (size_t i = 2; i + 1 < size; i += 2) units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    for (size_t i = 2; i < size; ++i) units.push_back(data[i]);
  }
  const size_t split = data[1] < units.size() ? data[1] : units.size();
  const std::u16string pattern = units.substr(0, split);
  const std::u16string name = units.substr(split);

  const bool matched = ryl::strings::MatchWildcard(rule, pattern.data(), static_cast<uint32_t>(pattern.size()),
                                                   name.data(), static_cast<uint32_t>(name.size()));
  if ((pattern.size() + 1) * (name.size() + 1) <= kReferenceCells) {
    FUZZ_CHECK(matched == ReferenceMatch(rule, pattern, name));
  }
  // Every name matches itself (its own "*" and "?" included), and "*"
  // matches every name.
  FUZZ_CHECK(ryl::strings::MatchWildcard(rule, name.data(), static_cast<uint32_t>(name.size()), name.data(),
                                         static_cast<uint32_t>(name.size())));
  FUZZ_CHECK(ryl::strings::MatchWildcard(rule, u"*", 1, name.data(), static_cast<uint32_t>(name.size())));
  return 0;
}
