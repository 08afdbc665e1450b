// Random valid text (every plane, no surrogate code points) through every
// conversion path between UTF-8, UTF-16 and UTF-32 in both byte orders,
// checked against independently encoded references and against Wine's own
// UTF-8 conversions. The seed is fixed so a failure can be repeated.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "strings/string_host.h"

namespace ryl::test {
namespace {

using CodePoints = std::vector<uint32_t>;

CodePoints RandomText(std::mt19937& rng, size_t length, unsigned asciiPercent) {
  std::uniform_int_distribution<unsigned> percent(0, 99);
  std::uniform_int_distribution<unsigned> range(0, 2);
  CodePoints text;
  while (text.size() < length) {
    uint32_t value;
    if (percent(rng) < asciiPercent) {
      value = std::uniform_int_distribution<uint32_t>(0, 0x7F)(rng);
    } else {
      switch (range(rng)) {
        case 0: value = std::uniform_int_distribution<uint32_t>(0x80, 0x7FF)(rng); break;
        case 1: value = std::uniform_int_distribution<uint32_t>(0x800, 0xFFFF)(rng); break;
        default: value = std::uniform_int_distribution<uint32_t>(0x10000, 0x10FFFF)(rng); break;
      }
      if (value >= 0xD800 && value <= 0xDFFF) continue;
    }
    text.push_back(value);
  }
  return text;
}

ByteText EncodeUtf8(const CodePoints& text) {
  ByteText out;
  for (uint32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<uint8_t>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<uint8_t>(0xC0 | c >> 6));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<uint8_t>(0xE0 | c >> 12));
      out.push_back(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<uint8_t>(0xF0 | c >> 18));
      out.push_back(static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::wstring EncodeUtf16(const CodePoints& text) {
  std::wstring out;
  for (uint32_t c : text) {
    if (c < 0x10000) {
      out.push_back(static_cast<wchar_t>(c));
    } else {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

ByteText UnitsAsBytes(const std::vector<uint32_t>& units, unsigned width, bool bigEndian) {
  ByteText out;
  for (uint32_t unit : units) {
    for (unsigned i = 0; i < width; ++i) {
      const unsigned shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
      out.push_back(static_cast<uint8_t>(unit >> shift));
    }
  }
  return out;
}

// Every table encoding id of the Unicode forms with its reference bytes.
std::map<uint32_t, ByteText> References(const CodePoints& text) {
  const std::wstring utf16 = EncodeUtf16(text);
  const std::vector<uint32_t> units16(utf16.begin(), utf16.end());
  std::map<uint32_t, ByteText> refs;
  refs[RYL_ENCODING_UTF8] = EncodeUtf8(text);
  refs[RYL_ENCODING_UTF16] = refs[RYL_ENCODING_UTF16LE] = UnitsAsBytes(units16, 2, false);
  refs[RYL_ENCODING_UTF16BE] = UnitsAsBytes(units16, 2, true);
  refs[RYL_ENCODING_UTF32] = refs[RYL_ENCODING_UTF32LE] = UnitsAsBytes(text, 4, false);
  refs[RYL_ENCODING_UTF32BE] = UnitsAsBytes(text, 4, true);
  return refs;
}

class RoundTripTest : public StringServiceTest {
 protected:
  // Alternates the buffer kinds so that sized and fixed-capacity filling
  // both see every path; fixed buffers get exactly the room the text needs.
  BufferKind KindFor(int sample) const {
    static constexpr BufferKind kKinds[] = {BufferKind::kVersion1, BufferKind::kGrowable2, BufferKind::kFixed2};
    return kKinds[sample % 3];
  }

  void CheckSample(const CodePoints& text, int sample) {
    const std::wstring utf16 = EncodeUtf16(text);
    const std::map<uint32_t, ByteText> refs = References(text);
    const BufferKind kind = KindFor(sample);
    for (const auto& [encoding, bytes] : refs) {
      SCOPED_TRACE(::testing::Message() << "sample " << sample << ", encoding " << encoding);
      uint32_t count = 0;
      ASSERT_CODE(strings_->GetUtf16Length(&count, bytes.data(), Len(bytes), encoding), RYL_OK);
      EXPECT_EQ(count, utf16.size());
      WideBuffer wide(kind, Len(utf16));
      ASSERT_CODE(strings_->ConvertToUtf16(wide.Output(), bytes.data(), Len(bytes), encoding), RYL_OK);
      EXPECT_TRUE(Wide(wide.Contents()) == utf16);
      EXPECT_FALSE(wide.Overrun());

      ASSERT_CODE(strings_->GetEncodedLength(&count, utf16.data(), Len(utf16), encoding), RYL_OK);
      EXPECT_EQ(count, bytes.size());
      ByteBuffer narrow(kind, Len(bytes));
      ASSERT_CODE(strings_->ConvertFromUtf16(narrow.Output(), utf16.data(), Len(utf16), encoding), RYL_OK);
      EXPECT_TRUE(narrow.Contents() == bytes);
      EXPECT_FALSE(narrow.Overrun());

      for (const auto& [target, expected] : refs) {
        ASSERT_CODE(strings_->GetRecodedLength(&count, bytes.data(), Len(bytes), target, encoding), RYL_OK);
        EXPECT_EQ(count, expected.size()) << "to " << target;
        ByteBuffer recoded(kind, Len(expected));
        ASSERT_CODE(strings_->Recode(recoded.Output(), bytes.data(), Len(bytes), target, encoding), RYL_OK);
        EXPECT_TRUE(recoded.Contents() == expected) << "to " << target;
        EXPECT_FALSE(recoded.Overrun());
      }
    }

    // Wine's UTF-8 conversions agree on valid text.
    const ByteText& utf8 = refs.at(RYL_ENCODING_UTF8);
    const int units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(utf8.data()),
                                          static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wine(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(utf8.data()), static_cast<int>(utf8.size()),
                        wine.data(), units);
    EXPECT_TRUE(wine == utf16) << "sample " << sample;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                          nullptr, nullptr);
    ByteText wineBytes(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                        reinterpret_cast<char*>(wineBytes.data()), bytes, nullptr, nullptr);
    EXPECT_TRUE(wineBytes == utf8) << "sample " << sample;
  }
};

TEST_F(RoundTripTest, RandomTextSurvivesEveryPathAndAgreesWithWine) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<size_t> length(0, 120);
  const unsigned asciiShares[] = {0, 50, 90, 100};
  for (int sample = 0; sample < 240; ++sample) {
    CheckSample(RandomText(rng, length(rng), asciiShares[sample % 4]), sample);
    if (HasFatalFailure()) return;
  }
}

TEST_F(RoundTripTest, LongMostlyAsciiTextSurvivesAtEveryAlignment) {
  // The ASCII fast path works in groups; shift the text against them.
  std::mt19937 rng(7);
  const CodePoints base = RandomText(rng, 4000, 97);
  for (int shift = 0; shift < 9; ++shift) {
    CodePoints text(base.begin() + shift, base.end());
    CheckSample(text, shift);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace ryl::test
