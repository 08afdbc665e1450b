// ToLower, ToUpper and CompareNoCase (slots 23-25) through the DLL, and the
// hand-over of the result to module-owned buffers by Swap (white-box).
#include "strings/case_mapping.h"

#include <gtest/gtest.h>

#include <string>

#include "core/growable_buffer.h"
#include "strings/string_host.h"

namespace ryl::test {
namespace {

std::wstring Units(std::initializer_list<int> values) {
  std::wstring units;
  for (int value : values) units.push_back(static_cast<wchar_t>(value));
  return units;
}

class CaseMappingTest : public StringServiceTest {
 protected:
  std::wstring Lower(const std::wstring& text) {
    WideBuffer buffer;
    EXPECT_CODE(strings_->ToLower(0, buffer.Output(), text.data(), Len(text)), RYL_OK);
    EXPECT_FALSE(buffer.Overrun());
    return Wide(buffer.Contents());
  }
  std::wstring Upper(const std::wstring& text) {
    WideBuffer buffer;
    EXPECT_CODE(strings_->ToUpper(0, buffer.Output(), text.data(), Len(text)), RYL_OK);
    EXPECT_FALSE(buffer.Overrun());
    return Wide(buffer.Contents());
  }
  int32_t Compare(const std::wstring& a, const std::wstring& b) {
    return strings_->CompareNoCase(0, a.data(), Len(a), b.data(), Len(b));
  }
};

TEST_F(CaseMappingTest, MapsAsciiAndTheRestThroughTheSystemTables) {
  EXPECT_EQ(Lower(L"Hello, WORLD @[`{ 09"), L"hello, world @[`{ 09");
  EXPECT_EQ(Upper(L"Hello, world @[`{ 09"), L"HELLO, WORLD @[`{ 09");
  // Latin-1, Greek and Cyrillic letters, and the sign of the euro that has no case.
  EXPECT_EQ(Lower(Units({0xC0, 0xC9, 0x3A3, 0x410, 0x20AC})), Units({0xE0, 0xE9, 0x3C3, 0x430, 0x20AC}));
  EXPECT_EQ(Upper(Units({0xE0, 0xE9, 0x3C3, 0x430, 0x20AC})), Units({0xC0, 0xC9, 0x3A3, 0x410, 0x20AC}));
  // One unit for one unit: the sharp s has no single upper-case unit.
  EXPECT_EQ(Upper(Units({0x73, 0xDF})), Units({0x53, 0xDF}));
}

TEST_F(CaseMappingTest, SurrogatesAreMappedUnitByUnit) {
  // U+10400 has a lower-case partner, but a pair is not one unit.
  const std::wstring deseret = Units({0xD801, 0xDC00, 0x41});
  EXPECT_EQ(Lower(deseret), Units({0xD801, 0xDC00, 0x61}));
  EXPECT_EQ(Upper(Units({0xD801, 0xDC28})), Units({0xD801, 0xDC28}));
}

TEST_F(CaseMappingTest, LengthAllOnesMeansUpToTheFirstZero) {
  WideBuffer buffer;
  ASSERT_CODE(strings_->ToUpper(0, buffer.Output(), L"abc\0def", 0xFFFFFFFFu), RYL_OK);
  EXPECT_EQ(Wide(buffer.Contents()), L"ABC");
  // An explicit length goes past zeros.
  const wchar_t text[] = L"ab\0C";
  ASSERT_CODE(strings_->ToLower(0, buffer.Output(), text, 4), RYL_OK);
  EXPECT_EQ(Wide(buffer.Contents()), std::wstring(L"ab\0c", 4));
  ASSERT_CODE(strings_->ToLower(0, buffer.Output(), nullptr, 0), RYL_OK);
  EXPECT_EQ(buffer.size(), 0u);
}

TEST_F(CaseMappingTest, NonZeroFlagsAndMissingArgumentsAreRefused) {
  for (uint32_t flags : {1u, 2u, 0x80000000u}) {
    WideBuffer buffer;
    EXPECT_CODE(strings_->ToLower(flags, buffer.Output(), L"A", 1), RYL_E_INVALID_ARG);
    EXPECT_CODE(strings_->ToUpper(flags, buffer.Output(), L"a", 1), RYL_E_INVALID_ARG);
    EXPECT_TRUE(buffer.Untouched());
  }
  WideBuffer buffer;
  EXPECT_CODE(strings_->ToLower(0, buffer.Output(), nullptr, 3), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->ToLower(0, buffer.Output(), nullptr, 0xFFFFFFFFu), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->ToUpper(0, nullptr, L"a", 1), RYL_E_INVALID_ARG);
  EXPECT_TRUE(buffer.Untouched());
}

TEST_F(CaseMappingTest, HostBuffersGetACopyWhateverTheirVersion) {
  // A version-2 host buffer refuses the module's storage; the text is copied.
  WideBuffer v2(BufferKind::kGrowable2);
  ASSERT_CODE(strings_->ToUpper(0, v2.Output(), L"swap me", 7), RYL_OK);
  EXPECT_EQ(v2.swapCalls, 1);
  EXPECT_EQ(Wide(v2.Contents()), L"SWAP ME");
  EXPECT_EQ(v2.resizes, std::vector<uint32_t>{7});
  EXPECT_FALSE(v2.Overrun());

  WideBuffer v1;
  ASSERT_CODE(strings_->ToLower(0, v1.Output(), L"COPY", 4), RYL_OK);
  EXPECT_EQ(Wide(v1.Contents()), L"copy");

  // Any other failure of Swap is the host's answer.
  constexpr ResultCode kHostCode = RYL_RESULT(0xE0070042u);
  WideBuffer refusing(BufferKind::kGrowable2);
  refusing.AnswerSwapWith(kHostCode);
  EXPECT_CODE(strings_->ToLower(0, refusing.Output(), L"X", 1), kHostCode);
  EXPECT_TRUE(refusing.resizes.empty());

  WideBuffer failing;
  failing.FailResizeWith(kHostCode);
  EXPECT_CODE(strings_->ToLower(0, failing.Output(), L"X", 1), kHostCode);
}

TEST_F(CaseMappingTest, TextInsideTheOutputItselfIsMappedCorrectly) {
  WideBuffer buffer;
  ASSERT_CODE(strings_->ToUpper(0, buffer.Output(), L"in place", 8), RYL_OK);
  // The input is the buffer's own storage, which Resize moves and poisons.
  ASSERT_CODE(strings_->ToLower(0, buffer.Output(), buffer.data(), buffer.size()), RYL_OK);
  EXPECT_EQ(Wide(buffer.Contents()), L"in place");
}

TEST(CaseMappingSwap, ModuleBuffersTakeTheResultByExchangingStorage) {
  core::GrowableBuffer<char16_t> output;
  ASSERT_CODE(output.Resize(5000), RYL_OK);
  const uint32_t bigCapacity = output.capacity();
  ASSERT_CODE(strings::MapCase(strings::LetterCase::kUpper, 0, output.Output(), u"short", 5), RYL_OK);
  ASSERT_EQ(output.size(), 5u);
  EXPECT_EQ(std::u16string(output.data(), 5), u"SHORT");
  // The output now holds the small zero-terminated scratch storage; its
  // large storage went back with the scratch buffer.
  EXPECT_LT(output.capacity(), bigCapacity);
  EXPECT_EQ(output.data()[5], u'\0');
}

TEST_F(CaseMappingTest, CompareNoCase_OrdersByUpperCasedUnitsThenLength) {
  EXPECT_EQ(Compare(L"abc", L"ABD"), -1);
  EXPECT_EQ(Compare(L"abc", L"ABC"), 0);
  EXPECT_EQ(Compare(L"abcd", L"ABC"), 1);
  EXPECT_EQ(Compare(L"ABC", L"abcd"), -1);
  EXPECT_EQ(Compare(L"", L""), 0);
  EXPECT_EQ(Compare(L"", L"a"), -1);
  // Upper-cased: "_" (0x5F) sorts after "A" but before "a".
  EXPECT_EQ(Compare(L"_", L"a"), 1);
  EXPECT_EQ(Compare(Units({0xE9}), Units({0xC9})), 0);
  EXPECT_EQ(Compare(Units({0x3C3}), Units({0x3A3})), 0);
  EXPECT_EQ(Compare(Units({0xFFFF}), Units({0x41})), 1);
  EXPECT_EQ(strings_->CompareNoCase(0, L"abc", 2, L"ABD", 2), 0);
  EXPECT_EQ(strings_->CompareNoCase(0xFFFFFFFFu, L"a", 1, L"A", 1), 0);  // flags are not used
  EXPECT_EQ(strings_->CompareNoCase(0, nullptr, 5, L"a", 1), -1);        // a null text counts as empty
}

}  // namespace
}  // namespace ryl::test
