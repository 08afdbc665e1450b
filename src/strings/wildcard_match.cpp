#include "strings/wildcard_match.h"

#include "sys/code_pages.h"

namespace ryl::strings {
namespace {

bool SameUnit(LetterCaseRule rule, char16_t a, char16_t b) noexcept {
  if (a == b) return true;
  return rule == LetterCaseRule::kIgnoreCase && sys::RylUpcaseChar(a) == sys::RylUpcaseChar(b);
}

bool MatchesEverything(const char16_t* pattern, uint32_t length) noexcept {
  return (length == 1 && pattern[0] == u'*') ||
         (length == 3 && pattern[0] == u'*' && pattern[1] == u'.' && pattern[2] == u'*');
}

}  // namespace

bool MatchWildcard(LetterCaseRule rule, const char16_t* pattern, uint32_t patternLength, const char16_t* name,
                   uint32_t nameLength) noexcept {
  if (MatchesEverything(pattern, patternLength)) return true;

  // Left to right; at each "*" the place after it is recorded with the name
  // position it was reached at, and a later mismatch resumes there with the
  // star taking one more unit. Only the most recent star's record is kept:
  // the segments before it were matched as early in the name as possible, so
  // letting an earlier star take more could only start the rest of the
  // pattern further right, where the latest star has already looked. Keeping
  // every record and backtracking through them all gives the same answers in
  // time exponential in the number of stars.
  uint32_t p = 0;
  uint32_t n = 0;
  bool recorded = false;
  uint32_t resumePattern = 0;
  uint32_t resumeName = 0;
  for (;;) {
    if (p < patternLength) {
      const char16_t unit = pattern[p];
      if (unit == u'*') {
        if (p + 1 == patternLength) return true;  // a final star takes the rest at once
        recorded = true;
        resumePattern = p + 1;
        resumeName = n;
        ++p;
        continue;
      }
      if (n < nameLength && (unit == u'?' || SameUnit(rule, unit, name[n]))) {
        ++p;
        ++n;
        continue;
      }
    } else if (n == nameLength) {
      return true;
    }
    if (!recorded || resumeName >= nameLength) return false;
    ++resumeName;
    p = resumePattern;
    n = resumeName;
  }
}

}  // namespace ryl::strings
