// MatchWildcard and MatchWildcardNoCase (slots 26, 27) through the DLL.
#include <gtest/gtest.h>

#include <string>

#include "strings/string_host.h"

namespace ryl::test {
namespace {

class WildcardMatchTest : public StringServiceTest {
 protected:
  // 1 or 0 from the slot, 0xCC when it stored nothing.
  int Exact(const std::wstring& pattern, const std::wstring& name) { return Run(false, pattern, name); }
  int NoCase(const std::wstring& pattern, const std::wstring& name) { return Run(true, pattern, name); }

  int Run(bool noCase, const std::wstring& pattern, const std::wstring& name) {
    const RylStringView p{pattern.data(), Len(pattern)};
    const RylStringView n{name.data(), Len(name)};
    uint8_t matches = 0xCC;
    const ResultCode code =
        noCase ? strings_->MatchWildcardNoCase(&matches, &p, &n) : strings_->MatchWildcard(&matches, &p, &n);
    EXPECT_CODE(code, RYL_OK) << "pattern " << ::testing::PrintToString(pattern);
    return matches;
  }
};

TEST_F(WildcardMatchTest, StarAndStarDotStarMatchEveryName) {
  for (const wchar_t* name : {L"README", L"", L"a.b.c", L".", L"x."}) {
    EXPECT_EQ(Exact(L"*", name), 1) << name;
    EXPECT_EQ(Exact(L"*.*", name), 1) << name;
    EXPECT_EQ(NoCase(L"*.*", name), 1) << name;
  }
  // Only exactly those patterns: "*." needs a dot, "**.*" too.
  EXPECT_EQ(Exact(L"*.", L"README"), 0);
  EXPECT_EQ(Exact(L"**.*", L"README"), 0);
  EXPECT_EQ(Exact(L"*.*", std::wstring(L"*.*x", 3)), 1);
}

TEST_F(WildcardMatchTest, QuestionMarkTakesExactlyOneUnit) {
  EXPECT_EQ(Exact(L"a?c", L"ac"), 0);
  EXPECT_EQ(Exact(L"a?c", L"abc"), 1);
  EXPECT_EQ(Exact(L"a?c", L"abbc"), 0);
  EXPECT_EQ(Exact(L"???", L"a.b"), 1);
  EXPECT_EQ(Exact(L"?", L""), 0);
  EXPECT_EQ(Exact(L"", L""), 1);
  EXPECT_EQ(Exact(L"", L"a"), 0);
  // A surrogate pair is two units.
  const std::wstring pair{wchar_t(0xD83D), wchar_t(0xDE00)};
  EXPECT_EQ(Exact(L"??", pair), 1);
  EXPECT_EQ(Exact(L"?", pair), 0);
}

TEST_F(WildcardMatchTest, StarsTakeAnyRunIncludingNone) {
  EXPECT_EQ(Exact(L"*.txt", L"notes.txt"), 1);
  EXPECT_EQ(Exact(L"*.txt", L".txt"), 1);
  EXPECT_EQ(Exact(L"*.txt", L"notes.txt.bak"), 0);
  EXPECT_EQ(Exact(L"a*b*c", L"abc"), 1);
  EXPECT_EQ(Exact(L"a*b*c", L"aXbYbZc"), 1);
  EXPECT_EQ(Exact(L"a*b*c", L"aXbYbZ"), 0);
  EXPECT_EQ(Exact(L"a*", L"a"), 1);
  EXPECT_EQ(Exact(L"*a", L"bab"), 0);
  EXPECT_EQ(Exact(L"*ab", L"aab"), 1);  // the star must give back what it took
  EXPECT_EQ(Exact(L"*a*", L"bbb"), 0);
  EXPECT_EQ(Exact(L"**a", L"ba"), 1);
  EXPECT_EQ(Exact(L"*?", L""), 0);
  EXPECT_EQ(Exact(L"*?", L"x"), 1);
  EXPECT_EQ(Exact(L"x*", L"y"), 0);
  EXPECT_EQ(Exact(L"*x*y*z", L"xxyyzzxyz"), 1);
  EXPECT_EQ(Exact(L"*x*y*z", L"xxyyzzxy"), 0);
}

TEST_F(WildcardMatchTest, NoCaseComparesUpperCasedUnits) {
  EXPECT_EQ(NoCase(L"*.TXT", L"notes.txt"), 1);
  EXPECT_EQ(Exact(L"*.TXT", L"notes.txt"), 0);
  EXPECT_EQ(NoCase(L"\x00C9T\x00C9", L"\x00E9t\x00E9"), 1);
  EXPECT_EQ(NoCase(L"a?C", L"Abc"), 1);
  EXPECT_EQ(NoCase(L"abc", L"abd"), 0);
}

TEST_F(WildcardMatchTest, ManyStarsFinishQuickly) {
  // Backtracking through every star's choices would take on the order of
  // 1000^10 steps here; the answer must come from looking at each star's
  // latest choice only.
  const std::wstring name(1000, L'a');
  std::wstring pattern;
  for (int i = 0; i < 10; ++i) pattern += L"*a";
  EXPECT_EQ(Exact(pattern + L"*b", name), 0);
  EXPECT_EQ(Exact(pattern + L"*", name), 1);
  EXPECT_EQ(NoCase(pattern + L"?b", name + L"xB"), 1);
  EXPECT_EQ(Exact(pattern + L"?b", name + L"xB"), 0);
}

TEST_F(WildcardMatchTest, MissingArgumentsAreRefusedAndNothingIsStored) {
  const std::wstring text = L"a";
  const RylStringView view{text.data(), 1};
  const RylStringView broken{nullptr, 3};
  const RylStringView empty{nullptr, 0};
  uint8_t matches = 0xCC;
  EXPECT_CODE(strings_->MatchWildcard(nullptr, &view, &view), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->MatchWildcard(&matches, nullptr, &view), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->MatchWildcardNoCase(&matches, &view, nullptr), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->MatchWildcard(&matches, &broken, &view), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->MatchWildcardNoCase(&matches, &view, &broken), RYL_E_INVALID_ARG);
  EXPECT_EQ(matches, 0xCC);
  EXPECT_CODE(strings_->MatchWildcard(&matches, &empty, &empty), RYL_OK);
  EXPECT_EQ(matches, 1);
}

}  // namespace
}  // namespace ryl::test
