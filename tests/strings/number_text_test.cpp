// Number text through the string service: integers in a base, doubles to a
// number of significant digits, and doubles parsed from text, held against
// the C runtime's strtod.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "format_host.h"
#include "support/result_matchers.h"

namespace ryl::test {
namespace {

std::string IntegerText(bool isSigned, uint64_t bits, uint32_t base, uint32_t width) {
  core::GrowableBuffer<char> out;
  EXPECT_CODE(out.Resize(5), RYL_OK);  // the old contents are replaced
  const ResultCode code = isSigned ? Service().Int64ToText(out.Output(), static_cast<int64_t>(bits), base, width)
                                   : Service().UInt64ToText(out.Output(), bits, base, width);
  if (code != RYL_OK) return "<error>";
  // The UTF-16 forms write the same characters.
  core::GrowableBuffer<char16_t> wide;
  const ResultCode wideCode = isSigned
                                  ? Service().Int64ToTextW(wide.Output(), static_cast<int64_t>(bits), base, width)
                                  : Service().UInt64ToTextW(wide.Output(), bits, base, width);
  EXPECT_CODE(wideCode, RYL_OK);
  std::string text(out.data(), out.size());
  EXPECT_EQ(std::u16string(text.begin(), text.end()), std::u16string(wide.data(), wide.size()));
  return text;
}

TEST(NumberTextTest, IntegersInABase) {
  EXPECT_EQ(IntegerText(false, 255, 16, 1), "ff");
  EXPECT_EQ(IntegerText(true, static_cast<uint64_t>(-1), 16, 2), "ffff");
  EXPECT_EQ(IntegerText(true, static_cast<uint64_t>(-1), 10, 2), "-1");
  EXPECT_EQ(IntegerText(true, static_cast<uint64_t>(-1), 0, 0), "-1");
  EXPECT_EQ(IntegerText(true, static_cast<uint64_t>(INT64_MIN), 10, 8), "-9223372036854775808");
  EXPECT_EQ(IntegerText(false, UINT64_MAX, 10, 8), "18446744073709551615");
  EXPECT_EQ(IntegerText(false, UINT64_MAX, 2, 8), std::string(64, '1'));
  EXPECT_EQ(IntegerText(false, UINT64_MAX, 36, 8), "3w5e11264sgsf");
  EXPECT_EQ(IntegerText(true, static_cast<uint64_t>(-2), 8, 1), "376");
  EXPECT_EQ(IntegerText(false, 0x1234567890ULL, 16, 4), "34567890");
  EXPECT_EQ(IntegerText(false, 0, 16, 8), "0");
  for (uint32_t base : {1u, 37u, 100u}) EXPECT_EQ(IntegerText(false, 5, base, 8), "<error>") << base;
  for (uint32_t width : {0u, 9u}) EXPECT_EQ(IntegerText(false, 5, 16, width), "<error>") << width;
  // Every value and base against the C runtime where it has the base.
  std::mt19937_64 random(7);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t value = random() >> (random() % 64);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRIu64, value);
    ASSERT_EQ(IntegerText(false, value, 10, 8), expected);
    std::snprintf(expected, sizeof expected, "%" PRIx64, value);
    ASSERT_EQ(IntegerText(false, value, 16, 8), expected);
    std::snprintf(expected, sizeof expected, "%" PRId64, static_cast<int64_t>(value));
    ASSERT_EQ(IntegerText(true, value, 10, 8), expected);
  }
}

std::string DoubleText(double value, uint32_t digits) {
  core::GrowableBuffer<char> out;
  EXPECT_CODE(out.Resize(2), RYL_OK);
  std::memcpy(out.data(), "x=", 2);
  if (Service().DoubleToText(out.Output(), value, digits) != RYL_OK) return "<error>";
  return std::string(out.data(), out.size());
}

std::string RuntimeExponential(double value, int precision) {
  char text[64];
#if defined(_WIN32)
  _snprintf(text, sizeof text, "x=%.*e", precision, value);
#else
  std::snprintf(text, sizeof text, "x=%.*e", precision, value);
#endif
  return text;
}

TEST(NumberTextTest, DoublesToSignificantDigitsAppend) {
  EXPECT_EQ(DoubleText(1234.5, 3), RuntimeExponential(1234.5, 2));
  EXPECT_EQ(DoubleText(1234.5, 1), RuntimeExponential(1234.5, 0));
  // No significant digits asks for one.
  EXPECT_EQ(DoubleText(1234.5, 0), RuntimeExponential(1234.5, 0));
  EXPECT_EQ(DoubleText(1.0 / 3, 40), RuntimeExponential(1.0 / 3, 20));
  EXPECT_EQ(DoubleText(-std::numeric_limits<double>::infinity(), 5), "x=-inf");
  EXPECT_EQ(DoubleText(std::numeric_limits<double>::quiet_NaN(), 5), "x=nan");
}

struct Parsed {
  ResultCode code;
  double value;
  ptrdiff_t stop;  // -1: no stop position stored
};

Parsed Parse(const std::string& text, bool askStop = true, uint32_t flags = 0) {
  double value = -12345.0;
  const char* stop = reinterpret_cast<const char*>(1);
  const ResultCode code = Service().ParseDouble(&value, text.data(), static_cast<uint32_t>(text.size()),
                                                askStop ? &stop : nullptr, flags);
  // The UTF-16 form reads the same units the same way.
  const std::u16string wide(text.begin(), text.end());
  double wideValue = -12345.0;
  const RylChar16* wideStop = nullptr;
  const ResultCode wideCode =
      Service().ParseDoubleW(&wideValue, reinterpret_cast<const RylChar16*>(wide.data()),
                             static_cast<uint32_t>(wide.size()), askStop ? &wideStop : nullptr, flags);
  EXPECT_CODE(wideCode, code) << text;
  EXPECT_TRUE(std::memcmp(&wideValue, &value, sizeof value) == 0) << text;
  if (!askStop || stop == nullptr) return {code, value, -1};
  return {code, value, stop - text.data()};
}

TEST(NumberTextTest, ParseDoubleGrammarStopsAndWords) {
  struct Case {
    const char* text;
    uint32_t flags;
    ResultCode code;
    double value;
    ptrdiff_t stop;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"1.5", 0, RYL_OK, 1.5, -1},
      {"-2,25", 0, RYL_OK, -2.25, -1},
      {"+0.125e3", 0, RYL_OK, 125.0, -1},
      {"5E-1", 0, RYL_OK, 0.5, -1},
      {"7.", 0, RYL_OK, 7.0, -1},
      {".5", 0, RYL_OK, 0.5, -1},
      {"", 0, RYL_OK, 0.0, -1},
      {"12abc", 0, RYL_E_INVALID_ARG, 12.0, 2},
      {" 1", 0, RYL_E_INVALID_ARG, 0.0, 0},
      {"1.2.3", 0, RYL_E_INVALID_ARG, 1.2, 3},
      {"3e", 0, RYL_E_INVALID_ARG, 3.0, 1},
      {"3e+", 0, RYL_E_INVALID_ARG, 3.0, 1},
      {"1e400", 0, RYL_W_INFINITE, inf, -1},
      {"-1e400", 0, RYL_W_INFINITE, -inf, -1},
      {"0e999999999999", 0, RYL_OK, 0.0, -1},
      {"1e-999999999999", 0, RYL_OK, 0.0, -1},
      {"1e99999999999", 0, RYL_W_INFINITE, inf, -1},
      {"inf", 0, RYL_E_INVALID_ARG, 0.0, 0},
      {"inf", 1, RYL_OK, inf, -1},
      {"-INFINITY", 1, RYL_OK, -inf, -1},
      {"InFx", 1, RYL_E_INVALID_ARG, inf, 3},
      {"infinit", 1, RYL_E_INVALID_ARG, inf, 3},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.text, true, c.flags);
    EXPECT_CODE(parsed.code, c.code) << c.text;
    EXPECT_EQ(parsed.value, c.value) << c.text;
    EXPECT_EQ(parsed.stop, c.stop) << c.text;
  }
  // Without a stop position a parse that ended early succeeds.
  const Parsed early = Parse("12abc", false);
  EXPECT_CODE(early.code, RYL_OK);
  EXPECT_EQ(early.value, 12.0);
  const Parsed nan = Parse("NaN", true, 1);
  EXPECT_CODE(nan.code, RYL_OK);
  EXPECT_TRUE(std::isnan(nan.value));
  EXPECT_TRUE(std::signbit(Parse("-0").value));
  // A thousand fraction digits neither overflow nor lose the value.
  EXPECT_EQ(Parse("0." + std::string(1000, '3')).value, 1.0 / 3);
  EXPECT_EQ(Parse(std::string(400, '9')).code, RYL_W_INFINITE);
  double value = 0;
  EXPECT_CODE(Service().ParseDouble(nullptr, "1", 1, nullptr, 0), RYL_E_INVALID_ARG);
  EXPECT_CODE(Service().ParseDouble(&value, nullptr, 1, nullptr, 0), RYL_E_INVALID_ARG);
}

// Distance in units in the last place, over the ordered bit patterns.
int64_t UlpDistance(double a, double b) {
  auto ordered = [](double d) {
    int64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits < 0 ? INT64_MIN - bits : bits;
  };
  const int64_t distance = ordered(a) - ordered(b);
  return distance < 0 ? -distance : distance;
}

std::string Digits(std::mt19937_64& random, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
  return text;
}

// Random decimal text against strtod: identical where every step of the
// extended accumulation is exact (an integer below 2^64 times a power of
// ten up to 10^27, with an exact product), and within one unit in the last
// place everywhere else: subnormals, 17 and more digits, huge exponents.
TEST(NumberTextTest, ParseDoubleAgainstStrtod) {
  std::mt19937_64 random(2026);
  int exactCases = 0;
  int identical = 0;
  const int total = 20000;
  for (int i = 0; i < total; ++i) {
    std::string text;
    if (random() % 2) text += '-';
    const int integerDigits = static_cast<int>(random() % 26);
    const bool hasFraction = random() % 3 != 0;
    const int fractionDigits = hasFraction ? static_cast<int>(random() % 30) : 0;
    text += Digits(random, integerDigits);
    if (hasFraction) text += "." + Digits(random, fractionDigits);
    int exponent = 0;
    const bool hasExponent = random() % 2 != 0;
    if (hasExponent) {
      exponent = static_cast<int>(random() % 700) - 350;
      text += "e" + std::to_string(exponent);
    }
    if (integerDigits + fractionDigits == 0) text += "0";
    const double expected = std::strtod(text.c_str(), nullptr);
    const Parsed parsed = Parse(text);
    ASSERT_TRUE(parsed.code == RYL_OK || parsed.code == RYL_W_INFINITE) << text;
    EXPECT_EQ(parsed.code == RYL_W_INFINITE, std::isinf(parsed.value)) << text;
    const int64_t distance = UlpDistance(parsed.value, expected);
    EXPECT_LE(distance, 1) << text << " parsed " << parsed.value << " strtod " << expected;
    if (distance == 0) ++identical;
    const std::string integerPart = text.substr(text[0] == '-' ? 1 : 0, static_cast<size_t>(integerDigits));
    const bool exact = fractionDigits == 0 && exponent >= 0 && exponent <= 27 && integerDigits <= 19 &&
                       std::strtold((integerPart.empty() ? "0" : integerPart).c_str(), nullptr) *
                               std::pow(10.0L, exponent) < 18446744073709551616.0L;
    if (exact) {
      ++exactCases;
      EXPECT_EQ(distance, 0) << text;
    }
  }
  EXPECT_GT(exactCases, 500);
  // The bound is rarely reached: nearly all values are identical.
  EXPECT_GT(identical, total * 99 / 100);
}

}  // namespace
}  // namespace ryl::test
