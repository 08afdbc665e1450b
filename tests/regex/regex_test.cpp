// Regular-expression objects: the options and the whole-match wrapper, the
// capture array, hostile patterns, and a differential test against PCRE
// called directly with the same options.
#include "regex/regex_object.h"

#include <gtest/gtest.h>
#include <pcre.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ryl::regex {
namespace {

template <typename Unit>
struct Regex {
  Regex(const std::basic_string<Unit>& pattern, uint32_t flags) {
    void* object = nullptr;
    const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                       *static_cast<void**>(c) = o;
                                       return RYL_OK;
                                     }};
    const ObjectReceiver receiver{&store, &object, 1, {}};
    if constexpr (sizeof(Unit) == 1) {
      result = CreateRegexNarrow(&receiver, pattern.data(), static_cast<uint32_t>(pattern.size()), flags);
    } else {
      result = CreateRegexWide(&receiver, pattern.data(), static_cast<uint32_t>(pattern.size()), flags);
    }
    r = static_cast<RylRegexT<Unit>*>(object);
  }
  ~Regex() {
    if (r != nullptr) r->Destroy(nullptr);
  }
  // Entry per group, as the object fills it; unwritten entries stay as set.
  std::vector<RylRegexCaptureT<Unit>> Match(const std::basic_string<Unit>& subject, ResultCode* code = nullptr) {
    std::vector<RylRegexCaptureT<Unit>> entries(r->GetCaptureCount() + 1, RylRegexCaptureT<Unit>{7, nullptr, nullptr});
    RylRegexCapturesT<Unit> record{entries.data(), entries.data() + entries.size(), entries.data() + entries.size()};
    const ResultCode got = r->Match(subject.data(), static_cast<uint32_t>(subject.size()), &record);
    if (code != nullptr) *code = got;
    return entries;
  }
  ResultCode result;
  RylRegexT<Unit>* r = nullptr;
};

using Wide = std::basic_string<RylChar16>;
Wide Wd(std::u16string_view text) { return Wide(text.begin(), text.end()); }

bool Matches(Regex<char>& regex, const std::string& subject) { return regex.Match(subject)[0].matched == 1; }

TEST(Regex, WholeMatchCaselessAndDotAll) {
  Regex<char> whole("abc", RYL_REGEX_WHOLE_MATCH);
  ASSERT_EQ(whole.result, RYL_OK);
  EXPECT_TRUE(Matches(whole, "abc"));
  EXPECT_FALSE(Matches(whole, "xabc"));
  EXPECT_FALSE(Matches(whole, "abcx"));
  Regex<char> alternation("a|b", RYL_REGEX_WHOLE_MATCH);
  EXPECT_TRUE(Matches(alternation, "b"));
  EXPECT_FALSE(Matches(alternation, "ab"));
  Regex<char> caseless("ABC", RYL_REGEX_CASELESS);
  EXPECT_TRUE(Matches(caseless, "xabcx"));
  Regex<char> dot("x.y", 0);
  EXPECT_TRUE(Matches(dot, "x\ny"));
  Regex<char> lines("^b$", 0);
  EXPECT_TRUE(Matches(lines, "a\r\nb\r\nc")) << "any newline, multi-line";
}

TEST(Regex, GroupsThatDidNotTakePartAndThoseNotWritten) {
  Regex<char> either("(a)|(b)", 0);
  const std::string b = "b";
  auto e = either.Match(b);
  EXPECT_EQ(e[0].matched, 1);
  EXPECT_EQ(e[1].matched, 0);
  EXPECT_EQ(e[2].matched, 1);
  EXPECT_EQ(e[2].begin, b.data());
  EXPECT_EQ(e[2].end, b.data() + 1);
  Regex<char> optional("(a)(b)?", 0);
  e = optional.Match("a");
  EXPECT_EQ(e[1].matched, 1);
  EXPECT_EQ(e[2].matched, 7) << "groups after the last one filled are not written";
  ResultCode code = RYL_E_INVALID_STATE;
  e = optional.Match("zzz", &code);
  EXPECT_EQ(code, RYL_OK) << "no match is not a failure";
  EXPECT_EQ(e[0].matched, 0);
}

TEST(Regex, CompileFailuresAndRecompiling) {
  Regex<char> broken("a(", 0);
  EXPECT_EQ(broken.result, RYL_E_BAD_FORMAT);
  EXPECT_EQ(broken.r, nullptr);
  Regex<char> regex("(x)(y)", 0);
  EXPECT_EQ(regex.r->GetCaptureCount(), 2u);
  EXPECT_EQ(regex.r->Compile("a(", 2, 0), RYL_E_BAD_FORMAT);
  EXPECT_EQ(regex.r->GetCaptureCount(), 0u);
  RylRegexCapture8 one[1];
  RylRegexCaptures8 record{one, one + 1, one + 1};
  EXPECT_EQ(regex.r->Match("a", 1, &record), RYL_E_REGEX_FAILED);
  EXPECT_EQ(regex.r->Compile("(q)", 3, 0), RYL_OK);
  EXPECT_EQ(regex.r->GetCaptureCount(), 1u);
  EXPECT_EQ(regex.r->Match("q", 1, &record), RYL_E_INVALID_ARG) << "an array too small for the groups is refused";
  uint8_t supported = 0;
  EXPECT_EQ(regex.r->Query(RYL_TYPE_REGEX8, 1, &supported), regex.r);
  EXPECT_EQ(regex.r->Query(RYL_TYPE_REGEX16, 1, &supported), nullptr);
}

TEST(Regex, AZeroUnitInsideThePatternIsPartOfIt) {
  Regex<char> narrow(std::string("ab\0cd", 5), RYL_REGEX_WHOLE_MATCH);
  ASSERT_EQ(narrow.result, RYL_OK);
  EXPECT_TRUE(Matches(narrow, std::string("ab\0cd", 5)));
  EXPECT_FALSE(Matches(narrow, "ab"));
  Regex<RylChar16> wide(Wd(std::u16string_view(u"ab\0cd", 5)), RYL_REGEX_WHOLE_MATCH);
  ASSERT_EQ(wide.result, RYL_OK);
  EXPECT_EQ(wide.Match(Wd(std::u16string_view(u"ab\0cd", 5)))[0].matched, 1);
  EXPECT_EQ(wide.Match(Wd(u"ab"))[0].matched, 0);
}

TEST(Regex, WideSubjectsCountUnitsSurrogatesAsTwo) {
  Regex<RylChar16> two(Wd(u"^..$"), 0);
  EXPECT_EQ(two.Match(Wd(u"\U0001F600"))[0].matched, 1);
  Regex<RylChar16> one(Wd(u"^.$"), 0);
  EXPECT_EQ(one.Match(Wd(u"\U0001F600"))[0].matched, 0);
  // No UTF mode and the default tables: only ASCII letters have a case.
  Regex<RylChar16> caseless(Wd(u"\u00c9T"), RYL_REGEX_CASELESS);
  EXPECT_EQ(caseless.Match(Wd(u"\u00c9t"))[0].matched, 1);
  EXPECT_EQ(caseless.Match(Wd(u"\u00e9t"))[0].matched, 0);
}

TEST(Regex, CatastrophicPatternsFailCleanly) {
  Regex<char> backtrack("(a+)+$", 0);
  ResultCode code = RYL_OK;
  backtrack.Match(std::string(40, 'a') + "!", &code);
  EXPECT_EQ(code, RYL_E_REGEX_FAILED);
  Regex<char> deep("(a|b)*c", 0);
  backtrack.Match(std::string(200000, 'a'), &code);  // no crash whatever the answer
  deep.Match(std::string(200000, 'a'), &code);
  EXPECT_TRUE(code == RYL_OK || code == RYL_E_REGEX_FAILED) << std::hex << code;
}

// The same patterns and subjects through PCRE directly, with the options the
// service fixes.
template <typename Unit>
void Differential(uint32_t seed, bool jit) {
  SetJitForTesting(jit);
  struct Restore {
    ~Restore() { SetJitForTesting(true); }
  } restore;
  std::mt19937 random(seed);
  const std::vector<std::string> atoms = {"a", "b", ".", "[ab]", "[^a]", "\\d", "\\w", "x", "(a)", "(b|a)",
                                          "(?:ab)", "\\n", "^", "$", "\\x{e9}", "c?", "a*", "b+", "(a|)"};
  const std::string alphabet = "ab1x\n\xe9 c";
  int matched = 0;
  for (int round = 0; round < 2500; ++round) {
    std::string pattern;
    for (int i = 0, n = 1 + random() % 5; i < n; ++i) pattern += atoms[random() % atoms.size()];
    if (sizeof(Unit) == 1 && pattern.find("\\x{") != std::string::npos) pattern = "a";
    std::string subject;
    for (int i = 0, n = random() % 12; i < n; ++i) subject += alphabet[random() % alphabet.size()];
    const uint32_t flags = random() % 4;
    std::basic_string<Unit> p(pattern.begin(), pattern.end()), s;
    for (char c : subject) s.push_back(static_cast<Unit>(static_cast<unsigned char>(c)));

    Regex<Unit> regex(p, flags);
    std::basic_string<Unit> direct = p;
    if (flags & RYL_REGEX_WHOLE_MATCH) {
      const std::string head = "\\A(?:", tail = ")\\z";
      direct = std::basic_string<Unit>(head.begin(), head.end()) + p + std::basic_string<Unit>(tail.begin(), tail.end());
    }
    const int options = 0x400006 | ((flags & RYL_REGEX_CASELESS) ? PCRE_CASELESS : 0);
    const char* error = nullptr;
    int offset = 0;
    int offsets[60];
    int rc;
    if constexpr (sizeof(Unit) == 1) {
      pcre* re = pcre_compile(direct.c_str(), options, &error, &offset, nullptr);
      ASSERT_EQ(re == nullptr, regex.result == RYL_E_BAD_FORMAT) << pattern;
      if (re == nullptr) continue;
      rc = pcre_exec(re, nullptr, s.data(), static_cast<int>(s.size()), 0, 0, offsets, 60);
      pcre_free(re);
    } else {
      pcre16* re = pcre16_compile(reinterpret_cast<PCRE_SPTR16>(direct.c_str()), options, &error, &offset, nullptr);
      ASSERT_EQ(re == nullptr, regex.result == RYL_E_BAD_FORMAT) << pattern;
      if (re == nullptr) continue;
      rc = pcre16_exec(re, nullptr, reinterpret_cast<PCRE_SPTR16>(s.data()), static_cast<int>(s.size()), 0, 0,
                       offsets, 60);
      pcre16_free(re);
    }
    ResultCode code = RYL_E_INVALID_STATE;
    const auto entries = regex.Match(s, &code);
    ASSERT_EQ(code, RYL_OK) << pattern;
    ASSERT_EQ(entries[0].matched == 1, rc > 0) << pattern << " on " << subject;
    if (rc <= 0) continue;
    ++matched;
    for (int g = 0; g < rc; ++g) {
      if (offsets[2 * g] < 0) {
        EXPECT_EQ(entries[g].matched, 0) << pattern << " group " << g;
        continue;
      }
      EXPECT_EQ(entries[g].begin - s.data(), offsets[2 * g]) << pattern << " group " << g;
      EXPECT_EQ(entries[g].end - s.data(), offsets[2 * g + 1]) << pattern << " group " << g;
    }
  }
  EXPECT_GT(matched, 250) << "the corpus exercises matches, not only misses";
}

// With the JIT where PCRE has it, and with the interpreter: the same answers.
TEST(Regex, DifferentialAgainstPcreNarrow) {
  Differential<char>(1, true);
  Differential<char>(1, false);
}
TEST(Regex, DifferentialAgainstPcreWide) {
  Differential<RylChar16>(2, true);
  Differential<RylChar16>(2, false);
}

TEST(Regex, TheJitIsUsedWhereThePcreBuildHasIt) {
  int available = 0;
  pcre_config(PCRE_CONFIG_JIT, &available);
  Regex<char> regex("a+b", 0);
  EXPECT_EQ(static_cast<Regex8*>(regex.r)->UsesJit(), available == 1);
  SetJitForTesting(false);
  Regex<char> interpreted("a+b", 0);
  SetJitForTesting(true);
  EXPECT_FALSE(static_cast<Regex8*>(interpreted.r)->UsesJit());
  // A long subject under a repetition: the JIT's own stack, grown on demand,
  // carries what the interpreter's recursion limit refuses.
  Regex<char> repeated("(?:a|b)*c", 0);
  ResultCode code = RYL_E_INVALID_STATE;
  const auto entries = repeated.Match(std::string(100000, 'a') + "c", &code);
  if (available == 1) {
    EXPECT_EQ(code, RYL_OK);
    EXPECT_EQ(entries[0].matched, 1);
  }
  for (bool jit : {true, false}) {
    SetJitForTesting(jit);
    Regex<char> catastrophic("(a+)+$", 0);
    catastrophic.Match(std::string(40, 'a') + "!", &code);
    EXPECT_EQ(code, RYL_E_REGEX_FAILED) << (jit ? "jit" : "interpreter");
  }
  SetJitForTesting(true);
}

}  // namespace
}  // namespace ryl::regex
