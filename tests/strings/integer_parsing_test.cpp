// Integer parsing through slots 11-14, narrow and UTF-16 alike.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "strings/string_host.h"

namespace ryl::test {
namespace {

constexpr uint64_t kUntouchedValue = 0x5A5A5A5A5A5A5A5Aull;

struct Parse {
  ResultCode code;
  uint64_t value;
  // Offset of the stop position from the text's start; -1 when it is null,
  // -2 when it was not asked for.
  ptrdiff_t stop;
};

class IntegerParsingTest : public StringServiceTest {
 protected:
  // Runs the narrow and the UTF-16 form and insists they agree.
  Parse Unsigned(const std::string& text, uint32_t base, bool askStop = true) {
    uint64_t value = kUntouchedValue;
    const char* stop = reinterpret_cast<const char*>(0x1);
    const ResultCode code =
        strings_->ParseUInt64(&value, text.data(), static_cast<uint32_t>(text.size()), base, askStop ? &stop : nullptr, 4);
    const std::wstring wide(text.begin(), text.end());
    uint64_t wideValue = kUntouchedValue;
    const wchar_t* wideStop = reinterpret_cast<const wchar_t*>(0x1);
    const ResultCode wideCode = strings_->ParseUInt64W(&wideValue, wide.data(), Len(wide), base,
                                                       askStop ? &wideStop : nullptr, 4);
    Parse result{code, value, askStop ? (stop == nullptr ? -1 : stop - text.data()) : -2};
    const ptrdiff_t wideOffset = askStop ? (wideStop == nullptr ? -1 : wideStop - wide.data()) : -2;
    EXPECT_CODE(wideCode, code) << text;
    EXPECT_EQ(wideValue, value) << text;
    EXPECT_EQ(wideOffset, result.stop) << text;
    return result;
  }

  Parse Signed(const std::string& text, uint32_t base, uint32_t width, bool askStop = true) {
    int64_t value = static_cast<int64_t>(kUntouchedValue);
    const char* stop = reinterpret_cast<const char*>(0x1);
    const ResultCode code = strings_->ParseInt64(&value, text.data(), static_cast<uint32_t>(text.size()), base,
                                                 askStop ? &stop : nullptr, width);
    const std::wstring wide(text.begin(), text.end());
    int64_t wideValue = static_cast<int64_t>(kUntouchedValue);
    const wchar_t* wideStop = reinterpret_cast<const wchar_t*>(0x1);
    const ResultCode wideCode =
        strings_->ParseInt64W(&wideValue, wide.data(), Len(wide), base, askStop ? &wideStop : nullptr, width);
    Parse result{code, static_cast<uint64_t>(value), askStop ? (stop == nullptr ? -1 : stop - text.data()) : -2};
    const ptrdiff_t wideOffset = askStop ? (wideStop == nullptr ? -1 : wideStop - wide.data()) : -2;
    EXPECT_CODE(wideCode, code) << text;
    EXPECT_EQ(wideValue, value) << text;
    EXPECT_EQ(wideOffset, result.stop) << text;
    return result;
  }
};

#define EXPECT_PARSE(parse, expectedCode, expectedValue, expectedStop) \
  do {                                                                 \
    const Parse p_ = (parse);                                          \
    EXPECT_CODE(p_.code, expectedCode);                                \
    EXPECT_EQ(p_.value, static_cast<uint64_t>(expectedValue));         \
    EXPECT_EQ(p_.stop, expectedStop);                                  \
  } while (0)

TEST_F(IntegerParsingTest, Unsigned_BasesAndPrefixes) {
  EXPECT_PARSE(Unsigned("0x1F", 0), RYL_OK, 31, -1);
  EXPECT_PARSE(Unsigned("0X1f", 16), RYL_OK, 31, -1);
  EXPECT_PARSE(Unsigned("1F", 16), RYL_OK, 31, -1);
  EXPECT_PARSE(Unsigned("0755", 0), RYL_OK, 755, -1);  // base 0 knows no octal
  EXPECT_PARSE(Unsigned("777", 8), RYL_OK, 511, -1);
  EXPECT_PARSE(Unsigned("zZ", 36), RYL_OK, 35 * 36 + 35, -1);
  EXPECT_PARSE(Unsigned("101", 2), RYL_OK, 5, -1);
  // The prefix needs a third character; "0x" alone is a zero and a stop.
  EXPECT_PARSE(Unsigned("0x", 0), RYL_E_INVALID_ARG, 0, 1);
  EXPECT_PARSE(Unsigned("0x", 16), RYL_E_INVALID_ARG, 0, 1);
  // Other bases take no prefix.
  EXPECT_PARSE(Unsigned("0x10", 10), RYL_E_INVALID_ARG, 0, 1);
  EXPECT_PARSE(Unsigned("0x10", 36), RYL_OK, 33 * 36 * 36 + 36, -1);
}

TEST_F(IntegerParsingTest, Unsigned_StopsAtTheFirstNonDigit) {
  EXPECT_PARSE(Unsigned("12a", 10), RYL_E_INVALID_ARG, 12, 2);
  EXPECT_PARSE(Unsigned("12a", 10, false), RYL_OK, 12, -2);
  EXPECT_PARSE(Unsigned("129", 8), RYL_E_INVALID_ARG, 10, 2);
  EXPECT_PARSE(Unsigned(" 1", 10), RYL_E_INVALID_ARG, 0, 0);
  EXPECT_PARSE(Unsigned("+1", 10), RYL_E_INVALID_ARG, 0, 0);
  EXPECT_PARSE(Unsigned(std::string("1\0002", 3), 10), RYL_E_INVALID_ARG, 1, 1);
}

TEST_F(IntegerParsingTest, Unsigned_RefusesAMinusSignLeavingTheValue) {
  EXPECT_PARSE(Unsigned("-5", 10), RYL_E_INVALID_ARG, kUntouchedValue, 0);
  EXPECT_PARSE(Unsigned("-5", 10, false), RYL_E_INVALID_ARG, kUntouchedValue, -2);
  EXPECT_PARSE(Unsigned("-", 0), RYL_E_INVALID_ARG, kUntouchedValue, 0);
}

TEST_F(IntegerParsingTest, Unsigned_KeepsTheValueBeforeTheDigitThatWouldOverflow) {
  EXPECT_PARSE(Unsigned("18446744073709551615", 10), RYL_OK, UINT64_MAX, -1);
  EXPECT_PARSE(Unsigned("18446744073709551616", 10), RYL_E_INVALID_ARG, 1844674407370955161ull, 19);
  EXPECT_PARSE(Unsigned("184467440737095516150", 10, false), RYL_OK, UINT64_MAX, -2);
  EXPECT_PARSE(Unsigned("0xFFFFFFFFFFFFFFFF", 0), RYL_OK, UINT64_MAX, -1);
  EXPECT_PARSE(Unsigned("0x1FFFFFFFFFFFFFFFF", 0), RYL_E_INVALID_ARG, 0x1FFFFFFFFFFFFFFFull, 18);
}

TEST_F(IntegerParsingTest, EmptyText_StoresZero) {
  uint64_t value = kUntouchedValue;
  EXPECT_CODE(strings_->ParseUInt64(&value, nullptr, 0, 10, nullptr, 8), RYL_OK);
  EXPECT_EQ(value, 0u);
  int64_t signedValue = 7;
  const wchar_t* stop = L"x";
  EXPECT_CODE(strings_->ParseInt64W(&signedValue, L"", 0, 0, &stop, 8), RYL_OK);
  EXPECT_EQ(signedValue, 0);
  EXPECT_EQ(stop, nullptr);
}

TEST_F(IntegerParsingTest, Signed_WidthOneLimits) {
  EXPECT_PARSE(Signed("127", 10, 1), RYL_OK, 127, -1);
  EXPECT_PARSE(Signed("128", 10, 1), RYL_E_INVALID_ARG, 12, 2);
  EXPECT_PARSE(Signed("128", 10, 1, false), RYL_OK, 12, -2);
  EXPECT_PARSE(Signed("-128", 10, 1), RYL_OK, -128, -1);
  EXPECT_PARSE(Signed("-129", 10, 1), RYL_E_INVALID_ARG, -12, 3);
  // Positive hexadecimal may use the whole width.
  EXPECT_PARSE(Signed("0xFF", 0, 1), RYL_OK, 255, -1);
  EXPECT_PARSE(Signed("FF", 16, 1), RYL_OK, 255, -1);
  EXPECT_PARSE(Signed("0x100", 0, 1), RYL_E_INVALID_ARG, 0x10, 4);
  EXPECT_PARSE(Signed("-0x80", 0, 1), RYL_OK, -128, -1);
  EXPECT_PARSE(Signed("-0x81", 0, 1), RYL_E_INVALID_ARG, -8, 4);
}

TEST_F(IntegerParsingTest, Signed_WiderLimits) {
  EXPECT_PARSE(Signed("32767", 10, 2), RYL_OK, 32767, -1);
  EXPECT_PARSE(Signed("-32768", 10, 2), RYL_OK, -32768, -1);
  EXPECT_PARSE(Signed("65535", 16, 2), RYL_E_INVALID_ARG, 0x6553, 4);
  EXPECT_PARSE(Signed("FFFF", 16, 2), RYL_OK, 0xFFFF, -1);
  EXPECT_PARSE(Signed("2147483647", 10, 4), RYL_OK, 2147483647, -1);
  EXPECT_PARSE(Signed("2147483648", 10, 4), RYL_E_INVALID_ARG, 214748364, 9);
  EXPECT_PARSE(Signed("9223372036854775807", 10, 8), RYL_OK, INT64_MAX, -1);
  EXPECT_PARSE(Signed("-9223372036854775808", 10, 8), RYL_OK, INT64_MIN, -1);
  EXPECT_PARSE(Signed("9223372036854775808", 10, 8), RYL_E_INVALID_ARG, 922337203685477580ll, 18);
  // The whole 64 bits in hexadecimal: the two's-complement value.
  EXPECT_PARSE(Signed("0xFFFFFFFFFFFFFFFF", 0, 8), RYL_OK, -1, -1);
}

TEST_F(IntegerParsingTest, Signed_SignOnlyTextIsZero) {
  EXPECT_PARSE(Signed("-", 10, 8), RYL_OK, 0, -1);
  EXPECT_PARSE(Signed("-", 0, 4), RYL_OK, 0, -1);
  EXPECT_PARSE(Signed("-0", 16, 4), RYL_OK, 0, -1);
  EXPECT_PARSE(Signed("--1", 10, 4), RYL_E_INVALID_ARG, 0, 1);
  EXPECT_PARSE(Signed("-12x", 10, 4, false), RYL_OK, -12, -2);
}

TEST_F(IntegerParsingTest, Signed_WidthOutsideOneToEightIsRefused) {
  for (uint32_t width : {0u, 9u, 16u, 0xFFFFFFFFu}) {
    int64_t value = 42;
    const char* stop = "sentinel";
    const char* const before = stop;
    EXPECT_CODE(strings_->ParseInt64(&value, "5", 1, 10, &stop, width), RYL_E_INVALID_ARG);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(stop, before);
  }
}

TEST_F(IntegerParsingTest, MissingArgumentsAreRefused) {
  EXPECT_CODE(strings_->ParseUInt64(nullptr, "5", 1, 10, nullptr, 8), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->ParseInt64W(nullptr, L"5", 1, 10, nullptr, 8), RYL_E_INVALID_ARG);
  uint64_t value = kUntouchedValue;
  EXPECT_CODE(strings_->ParseUInt64W(&value, nullptr, 3, 10, nullptr, 8), RYL_E_INVALID_ARG);
  EXPECT_EQ(value, kUntouchedValue);
}

TEST_F(IntegerParsingTest, Utf16_UnitsBeyondAsciiAreNotDigits) {
  uint64_t value = 0;
  const wchar_t* stop = nullptr;
  const std::wstring text = L"1\xFF11";  // fullwidth one
  EXPECT_CODE(strings_->ParseUInt64W(&value, text.data(), Len(text), 10, &stop, 8), RYL_E_INVALID_ARG);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(stop, text.data() + 1);
  const std::wstring wrapped = L"1\x0131";  // 0x131 must not be read as 0x31
  EXPECT_CODE(strings_->ParseUInt64W(&value, wrapped.data(), Len(wrapped), 10, &stop, 8), RYL_E_INVALID_ARG);
  EXPECT_EQ(value, 1u);
}

}  // namespace
}  // namespace ryl::test
