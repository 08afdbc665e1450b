// Character-set conversion through the string service's slots 1-6, as a host
// calls them: every encoding id, every kind of output buffer, malformed
// input, and the system code pages checked against Wine's own conversions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "strings/string_host.h"

namespace ryl::test {
namespace {

constexpr uint32_t kUntouchedCount = 0xDEADBEEF;

std::wstring Units(std::initializer_list<int> values) {
  std::wstring units;
  for (int value : values) units.push_back(static_cast<wchar_t>(value));
  return units;
}

std::wstring AnsiToWide(UINT codePage, const ByteText& bytes) {
  const int n = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                      wide.data(), n);
  return wide;
}

ByteText WideToAnsi(UINT codePage, const wchar_t* text, size_t length) {
  const int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  ByteText bytes(static_cast<size_t>(n));
  WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), reinterpret_cast<char*>(bytes.data()), n, nullptr,
                      nullptr);
  return bytes;
}

class TextConversionTest : public StringServiceTest {
 protected:
  // Slots 1 and 2 together: the count must match what the conversion gives.
  ResultCode ToUtf16(const ByteText& text, uint32_t encoding, std::wstring* out) {
    uint32_t count = kUntouchedCount;
    const ResultCode measured = strings_->GetUtf16Length(&count, text.data(), Len(text), encoding);
    WideBuffer buffer;
    const ResultCode converted = strings_->ConvertToUtf16(buffer.Output(), text.data(), Len(text), encoding);
    EXPECT_FALSE(buffer.Overrun());
    EXPECT_CODE(converted, measured);
    if (converted < 0) {
      EXPECT_EQ(count, kUntouchedCount) << "count written on failure";
      EXPECT_TRUE(buffer.Untouched()) << "buffer changed although sizing failed";
      return converted;
    }
    *out = Wide(buffer.Contents());
    EXPECT_EQ(count, out->size());
    return converted;
  }

  ResultCode FromUtf16(const std::wstring& text, uint32_t encoding, ByteText* out) {
    uint32_t count = kUntouchedCount;
    const ResultCode measured = strings_->GetEncodedLength(&count, text.data(), Len(text), encoding);
    ByteBuffer buffer;
    const ResultCode converted = strings_->ConvertFromUtf16(buffer.Output(), text.data(), Len(text), encoding);
    EXPECT_FALSE(buffer.Overrun());
    EXPECT_CODE(converted, measured);
    if (converted < 0) {
      EXPECT_EQ(count, kUntouchedCount) << "count written on failure";
      EXPECT_TRUE(buffer.Untouched()) << "buffer changed although sizing failed";
      return converted;
    }
    *out = buffer.Contents();
    EXPECT_EQ(count, out->size());
    return converted;
  }

  ResultCode RecodeText(const ByteText& text, uint32_t target, uint32_t source, ByteText* out) {
    ByteBuffer buffer;
    const ResultCode converted = strings_->Recode(buffer.Output(), text.data(), Len(text), target, source);
    EXPECT_FALSE(buffer.Overrun());
    if (converted >= 0) *out = buffer.Contents();
    return converted;
  }
};

// --- UTF-8 -------------------------------------------------------------------------

TEST_F(TextConversionTest, Utf8_DecodesEveryLengthOfSequence) {
  std::wstring units;
  ASSERT_CODE(ToUtf16(Bytes({0xC3, 0xA9}), RYL_ENCODING_UTF8, &units), RYL_OK);
  EXPECT_EQ(units, Units({0x00E9}));
  ASSERT_CODE(ToUtf16(Bytes({0x41, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0x7F}), RYL_ENCODING_UTF8, &units),
              RYL_OK);
  EXPECT_EQ(units, Units({0x41, 0x20AC, 0xD83D, 0xDE00, 0x7F}));
  // The largest value of each length.
  ASSERT_CODE(ToUtf16(Bytes({0xDF, 0xBF, 0xEF, 0xBF, 0xBF, 0xF4, 0x8F, 0xBF, 0xBF}), RYL_ENCODING_UTF8, &units),
              RYL_OK);
  EXPECT_EQ(units, Units({0x07FF, 0xFFFF, 0xDBFF, 0xDFFF}));
}

TEST_F(TextConversionTest, Utf8_MalformedSequencesFailWithBadFormatBeforeTheBufferIsTouched) {
  const ByteText cases[] = {
      Bytes({0xC0, 0x80}),              // overlong zero
      Bytes({0xC1, 0xBF}),              // overlong two-byte
      Bytes({0xE0, 0x9F, 0xBF}),        // overlong three-byte
      Bytes({0xF0, 0x8F, 0xBF, 0xBF}),  // overlong four-byte
      Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}),
      Bytes({0x41, 0xFF}),
      Bytes({0xFE}),
      Bytes({0x41, 0xC3}),              // open at the end
      Bytes({0xE2, 0x82}),
      Bytes({0xF0, 0x9F, 0x98}),
      Bytes({0xC3, 0x41}),              // continuation missing
      Bytes({0xE2, 0x82, 0xC3, 0xA9}),  // a new lead byte inside a sequence
      Bytes({0xF0, 0x9F, 0x98, 0x7F}),
  };
  for (const ByteText& text : cases) {
    SCOPED_TRACE(::testing::PrintToString(text));
    std::wstring units;
    EXPECT_CODE(ToUtf16(text, RYL_ENCODING_UTF8, &units), RYL_E_BAD_FORMAT);
    ByteText bytes;
    EXPECT_CODE(RecodeText(text, RYL_ENCODING_UTF32BE, RYL_ENCODING_UTF8, &bytes), RYL_E_BAD_FORMAT);
  }
}

TEST_F(TextConversionTest, Utf8_ContinuationBytesWhereALeadIsExpectedAreDropped) {
  std::wstring units;
  ASSERT_CODE(ToUtf16(Bytes({0x80, 0x41}), RYL_ENCODING_UTF8, &units), RYL_OK);
  EXPECT_EQ(units, L"A");
  ASSERT_CODE(ToUtf16(Bytes({0xBF, 0xC3, 0xA9, 0x80, 0x80, 0x42, 0xBF}), RYL_ENCODING_UTF8, &units), RYL_OK);
  EXPECT_EQ(units, Units({0xE9, 0x42}));

  // Nothing but stray bytes: a result of length zero.
  WideBuffer buffer;
  const ByteText stray = Bytes({0x80, 0x81, 0xBF});
  ASSERT_CODE(strings_->ConvertToUtf16(buffer.Output(), stray.data(), Len(stray), RYL_ENCODING_UTF8), RYL_OK);
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_FALSE(buffer.Overrun());
}

TEST_F(TextConversionTest, Utf8_SurrogatesAndValuesUpTo1FFFFFPassAsDecoded) {
  std::wstring units;
  ASSERT_CODE(ToUtf16(Bytes({0xED, 0xA0, 0x80}), RYL_ENCODING_UTF8, &units), RYL_OK);
  EXPECT_EQ(units, Units({0xD800}));
  // 0x1FFFFF: the pair carries the low 20 bits of what lies above the plane.
  ASSERT_CODE(ToUtf16(Bytes({0xF7, 0xBF, 0xBF, 0xBF}), RYL_ENCODING_UTF8, &units), RYL_OK);
  EXPECT_EQ(units, Units({0xDBBF, 0xDFFF}));

  ByteText bytes;
  ASSERT_CODE(RecodeText(Bytes({0xF7, 0xBF, 0xBF, 0xBF}), RYL_ENCODING_UTF32, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xFF, 0xFF, 0x1F, 0x00}));
  // ...but UTF-8 cannot carry it back.
  EXPECT_CODE(RecodeText(bytes, RYL_ENCODING_UTF8, RYL_ENCODING_UTF32, &bytes), RYL_E_BAD_FORMAT);
  EXPECT_CODE(RecodeText(Bytes({0x00, 0x11, 0x00, 0x00}), RYL_ENCODING_UTF8, RYL_ENCODING_UTF32BE, &bytes),
              RYL_E_BAD_FORMAT);
  ASSERT_CODE(RecodeText(Bytes({0x00, 0x10, 0xFF, 0xFF}), RYL_ENCODING_UTF8, RYL_ENCODING_UTF32BE, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xF4, 0x8F, 0xBF, 0xBF}));
}

// --- UTF-16 and UTF-32 -----------------------------------------------------------

TEST_F(TextConversionTest, Utf16_PairsBecomeOneCodePointInEveryTarget) {
  const std::wstring grin = Units({0xD83D, 0xDE00});
  ByteText bytes;
  ASSERT_CODE(FromUtf16(grin, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xF0, 0x9F, 0x98, 0x80}));
  ASSERT_CODE(FromUtf16(grin, RYL_ENCODING_UTF32BE, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0x00, 0x01, 0xF6, 0x00}));
  ASSERT_CODE(FromUtf16(grin, RYL_ENCODING_UTF16BE, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xD8, 0x3D, 0xDE, 0x00}));
  ASSERT_CODE(FromUtf16(grin, RYL_ENCODING_LATIN1, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({'?'}));
}

TEST_F(TextConversionTest, Utf16_BrokenSurrogatesFailWithBadFormat) {
  const std::wstring cases[] = {
      Units({0xDE00}),                  // low on its own
      Units({0x41, 0xD83D}),            // high at the end
      Units({0xD83D, 0x41}),            // high followed by something else
      Units({0xD83D, 0xD83D, 0xDE00}),  // high followed by high
  };
  for (const std::wstring& text : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::vector<int>(text.begin(), text.end())));
    for (uint32_t encoding : {RYL_ENCODING_UTF8, RYL_ENCODING_LATIN1, RYL_ENCODING_UTF32, RYL_ENCODING_UTF16BE,
                              RYL_ENCODING_UTF32BE}) {
      ByteText bytes;
      EXPECT_CODE(FromUtf16(text, encoding, &bytes), RYL_E_BAD_FORMAT) << "encoding " << encoding;
    }
    // The same defects in big-endian bytes on the way in.
    ByteText big;
    for (wchar_t unit : text) {
      big.push_back(static_cast<uint8_t>(unit >> 8));
      big.push_back(static_cast<uint8_t>(unit));
    }
    std::wstring units;
    EXPECT_CODE(ToUtf16(big, RYL_ENCODING_UTF16BE, &units), RYL_E_BAD_FORMAT);
  }
}

TEST_F(TextConversionTest, Utf16AndUtf32_LengthsMustBeWholeUnits) {
  std::wstring units;
  EXPECT_CODE(ToUtf16(Bytes({0x00, 0x41, 0x00}), RYL_ENCODING_UTF16BE, &units), RYL_E_BAD_FORMAT);
  EXPECT_CODE(ToUtf16(Bytes({0x41, 0x00, 0x42}), RYL_ENCODING_UTF16, &units), RYL_E_BAD_FORMAT);
  EXPECT_CODE(ToUtf16(Bytes({0x41, 0x00, 0x42}), RYL_ENCODING_UTF16LE, &units), RYL_E_BAD_FORMAT);
  for (uint32_t encoding : {RYL_ENCODING_UTF32, RYL_ENCODING_UTF32LE, RYL_ENCODING_UTF32BE}) {
    for (size_t length : {1u, 2u, 3u, 5u, 7u}) {
      EXPECT_CODE(ToUtf16(ByteText(length, 0x00), encoding, &units), RYL_E_BAD_FORMAT) << encoding << "/" << length;
    }
  }
  ByteText bytes;
  EXPECT_CODE(RecodeText(Bytes({0x41, 0, 0, 0, 0x42}), RYL_ENCODING_UTF8, RYL_ENCODING_UTF32, &bytes),
              RYL_E_BAD_FORMAT);
  EXPECT_CODE(RecodeText(Bytes({0x41, 0, 0x42}), RYL_ENCODING_UTF8, RYL_ENCODING_UTF16BE, &bytes), RYL_E_BAD_FORMAT);
}

TEST_F(TextConversionTest, Utf32_UnitsPassUncheckedExceptIntoUtf8) {
  std::wstring units;
  // 0x110000 and a surrogate value: UTF-16 keeps the low 20 bits of what lies above the plane.
  ASSERT_CODE(ToUtf16(Bytes({0x00, 0x00, 0x11, 0x00, 0x00, 0xD8, 0x00, 0x00}), RYL_ENCODING_UTF32LE, &units),
              RYL_OK);
  EXPECT_EQ(units, Units({0xD800, 0xDC00, 0xD800}));
  ByteText bytes;
  ASSERT_CODE(RecodeText(Bytes({0x00, 0x00, 0x11, 0x00}), RYL_ENCODING_UTF32BE, RYL_ENCODING_UTF32LE, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0x00, 0x11, 0x00, 0x00}));
  ASSERT_CODE(RecodeText(Bytes({0x00, 0x00, 0x11, 0x00}), RYL_ENCODING_LATIN1, RYL_ENCODING_UTF32LE, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({'?'}));
}

TEST_F(TextConversionTest, Utf16LittleEndian_IsCopiedUnitForUnitWithoutChecks) {
  // Ids 5 and 7 are the library's own form: a lone surrogate is copied, not judged.
  for (uint32_t encoding : {RYL_ENCODING_UTF16, RYL_ENCODING_UTF16LE}) {
    std::wstring units;
    ASSERT_CODE(ToUtf16(Bytes({0x00, 0xDE, 0x41, 0x00}), encoding, &units), RYL_OK);
    EXPECT_EQ(units, Units({0xDE00, 0x41}));
    ByteText bytes;
    ASSERT_CODE(FromUtf16(Units({0xD83D, 0x42}), encoding, &bytes), RYL_OK);
    EXPECT_EQ(bytes, Bytes({0x3D, 0xD8, 0x42, 0x00}));
  }
}

// --- ISO-8859-1 and the system code pages -----------------------------------------

TEST_F(TextConversionTest, Latin1_WritesCodePointsBelow256AndQuestionMarksForTheRest) {
  ByteText bytes;
  ASSERT_CODE(FromUtf16(Units({0xE9}), RYL_ENCODING_LATIN1, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xE9}));
  ASSERT_CODE(FromUtf16(Units({0x20AC}), RYL_ENCODING_LATIN1, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({'?'}));
  ASSERT_CODE(FromUtf16(Units({0x41, 0x80, 0xFF, 0x100}), RYL_ENCODING_LATIN1, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0x41, 0x80, 0xFF, '?'}));
}

TEST_F(TextConversionTest, Latin1_IsReadThroughTheAnsiCodePageTowardsUtf16) {
  const ByteText text = Bytes({0x41, 0x80, 0xE9, 0x9F});
  const std::wstring expected = AnsiToWide(CP_ACP, text);
  std::wstring units;
  ASSERT_CODE(ToUtf16(text, RYL_ENCODING_LATIN1, &units), RYL_OK);
  EXPECT_EQ(units, expected);
  ASSERT_CODE(ToUtf16(text, RYL_ENCODING_ANSI, &units), RYL_OK);
  EXPECT_EQ(units, expected);
  if (GetACP() == 1252) {
    EXPECT_EQ(units[1], 0x20AC);
  }
  // Between two table encodings it is ISO-8859-1 again.
  ByteText bytes;
  ASSERT_CODE(RecodeText(text, RYL_ENCODING_UTF8, RYL_ENCODING_LATIN1, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0x41, 0xC2, 0x80, 0xC3, 0xA9, 0xC2, 0x9F}));
}

TEST_F(TextConversionTest, SystemCodePages_AgreeWithWine) {
  ByteText all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<uint8_t>(b));
  std::wstring units;
  ASSERT_CODE(ToUtf16(all, RYL_ENCODING_ANSI, &units), RYL_OK);
  EXPECT_EQ(units, AnsiToWide(CP_ACP, all));
  ASSERT_CODE(ToUtf16(all, RYL_ENCODING_OEM, &units), RYL_OK);
  EXPECT_EQ(units, AnsiToWide(CP_OEMCP, all));

  const std::wstring mixed = Units({0x41, 0xE9, 0x20AC, 0x3A9, 0x4E2D, 0xD83D, 0xDE00, 0x2592, 0});
  ByteText bytes;
  ASSERT_CODE(FromUtf16(mixed, RYL_ENCODING_ANSI, &bytes), RYL_OK);
  EXPECT_EQ(bytes, WideToAnsi(CP_ACP, mixed.data(), mixed.size()));
  ASSERT_CODE(FromUtf16(mixed, RYL_ENCODING_OEM, &bytes), RYL_OK);
  EXPECT_EQ(bytes, WideToAnsi(CP_OEMCP, mixed.data(), mixed.size()));
  // Lone surrogates are the system's business here, not malformed input.
  ASSERT_CODE(FromUtf16(Units({0xDE00, 0x41}), RYL_ENCODING_ANSI, &bytes), RYL_OK);
  EXPECT_EQ(bytes.size(), 2u);
}

TEST_F(TextConversionTest, SystemCodePages_LongTextIsConvertedChunkByChunk) {
  // Towards UTF-16 the cuts fall every 32766 bytes; on a single-byte code
  // page they cannot change the result.
  ByteText text(100000);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>(0x20 + i % 0xE0);
  std::wstring units;
  ASSERT_CODE(ToUtf16(text, RYL_ENCODING_ANSI, &units), RYL_OK);
  CPINFO ansi{};
  if (GetCPInfo(CP_ACP, &ansi) && ansi.MaxCharSize == 1) {
    EXPECT_TRUE(units == AnsiToWide(CP_ACP, text));
  }

  // From UTF-16: 70000 units whose only pair sits at 32765-32766 go as 32765,
  // 32766 and 4469 units, keeping the pair together.
  std::wstring wide(70000, L'x');
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<wchar_t>(i % 3 == 0 ? 0xE9 : 0x61 + i % 26);
  wide[32765] = 0xD83D;
  wide[32766] = 0xDE00;
  ByteText expected = WideToAnsi(CP_ACP, wide.data(), 32765);
  const ByteText second = WideToAnsi(CP_ACP, wide.data() + 32765, 32766);
  const ByteText third = WideToAnsi(CP_ACP, wide.data() + 65531, 4469);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.insert(expected.end(), third.begin(), third.end());
  ByteText bytes;
  ASSERT_CODE(FromUtf16(wide, RYL_ENCODING_ANSI, &bytes), RYL_OK);
  EXPECT_TRUE(bytes == expected);
  EXPECT_TRUE(bytes == WideToAnsi(CP_ACP, wide.data(), wide.size()));
}

TEST_F(TextConversionTest, SystemCodePages_NeverWriteTheirTerminatorPastTheBuffer) {
  // The system writes a zero after each chunk; where the text fills the
  // buffer exactly that zero has no room. Guards sit right behind it.
  const ByteText hello = Bytes("hello");
  for (uint32_t encoding : {RYL_ENCODING_ANSI, RYL_ENCODING_OEM, RYL_ENCODING_LATIN1}) {
    WideBuffer exact(BufferKind::kFixed2, 5);
    ASSERT_CODE(strings_->ConvertToUtf16(exact.Output(), hello.data(), Len(hello), encoding), RYL_OK);
    EXPECT_EQ(Wide(exact.Contents()), L"hello");
    EXPECT_FALSE(exact.Overrun());
    WideBuffer sized;
    ASSERT_CODE(strings_->ConvertToUtf16(sized.Output(), hello.data(), Len(hello), encoding), RYL_OK);
    EXPECT_EQ(sized.resizes, std::vector<uint32_t>{5});
    EXPECT_FALSE(sized.Overrun());
  }
  const std::wstring wide(40000, L'q');  // two chunks, the second ending at the buffer's end
  for (uint32_t encoding : {RYL_ENCODING_ANSI, RYL_ENCODING_OEM}) {
    ByteBuffer exact(BufferKind::kFixed2, 40000);
    ASSERT_CODE(strings_->ConvertFromUtf16(exact.Output(), wide.data(), Len(wide), encoding), RYL_OK);
    EXPECT_EQ(exact.size(), 40000u);
    EXPECT_FALSE(exact.Overrun());
    ByteBuffer sized;
    ASSERT_CODE(strings_->ConvertFromUtf16(sized.Output(), wide.data(), Len(wide), encoding), RYL_OK);
    EXPECT_EQ(sized.Contents(), ByteText(40000, 'q'));
    EXPECT_FALSE(sized.Overrun());
  }
}

TEST_F(TextConversionTest, SystemCodePages_DoubleByteTextIsSizedByTheSystem) {
  CPINFO oem{};
  if (!GetCPInfo(CP_OEMCP, &oem) || oem.MaxCharSize < 2) {
    GTEST_SKIP() << "the OEM code page is single-byte: Wine takes it from the Unix locale (start it under "
                    "LANG=ja_JP.UTF-8, with that locale generated, for code page 932)";
  }
  // Characters of one and two bytes mixed, long enough for several chunks
  // in either direction.
  std::wstring wide;
  for (int i = 0; i < 50000; ++i) wide.push_back(i % 3 == 0 ? L'a' + i % 26 : 0x65E5 + i % 7);
  const ByteText ansi = WideToAnsi(CP_ACP, wide.data(), wide.size());
  ASSERT_GT(ansi.size(), wide.size());
  ByteText bytes;
  ASSERT_CODE(FromUtf16(wide, RYL_ENCODING_ANSI, &bytes), RYL_OK);
  EXPECT_TRUE(bytes == ansi);
  ByteBuffer exact(BufferKind::kFixed2, Len(ansi));
  ASSERT_CODE(strings_->ConvertFromUtf16(exact.Output(), wide.data(), Len(wide), RYL_ENCODING_ANSI), RYL_OK);
  EXPECT_EQ(exact.size(), ansi.size());
  EXPECT_FALSE(exact.Overrun());
  ByteBuffer tight(BufferKind::kFixed2, Len(ansi) - 1);
  EXPECT_CODE(strings_->ConvertFromUtf16(tight.Output(), wide.data(), Len(wide), RYL_ENCODING_ANSI),
              RYL_E_OUT_OF_RANGE);
  EXPECT_FALSE(tight.Overrun());

  // Towards UTF-16 a cut may fall inside a character; the count still
  // matches what the conversion produces.
  const ByteText head(ansi.begin(), ansi.begin() + 32766);
  std::wstring units;
  ASSERT_CODE(ToUtf16(head, RYL_ENCODING_ANSI, &units), RYL_OK);
  EXPECT_TRUE(units == AnsiToWide(CP_ACP, head));
  ASSERT_CODE(ToUtf16(ansi, RYL_ENCODING_OEM, &units), RYL_OK);
  EXPECT_LT(units.size(), ansi.size());
}

// --- Output buffers ------------------------------------------------------------------

TEST_F(TextConversionTest, FixedBuffers_AreFilledUpToTheirCapacityAndTrimmed) {
  const ByteText text = Bytes({0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80});  // 4 units
  WideBuffer roomy(BufferKind::kFixed2, 10);
  ASSERT_CODE(strings_->ConvertToUtf16(roomy.Output(), text.data(), Len(text), RYL_ENCODING_UTF8), RYL_OK);
  EXPECT_EQ(Wide(roomy.Contents()), Units({0x41, 0xE9, 0xD83D, 0xDE00}));
  EXPECT_EQ(roomy.resizes, (std::vector<uint32_t>{10, 4}));
  EXPECT_EQ(roomy.capacityCalls, 1);
  EXPECT_FALSE(roomy.Overrun());

  WideBuffer exact(BufferKind::kFixed2, 4);
  ASSERT_CODE(strings_->ConvertToUtf16(exact.Output(), text.data(), Len(text), RYL_ENCODING_UTF8), RYL_OK);
  EXPECT_EQ(exact.size(), 4u);
  EXPECT_EQ(exact.resizes, std::vector<uint32_t>{4});
  EXPECT_FALSE(exact.Overrun());

  // Three units of room: the pair does not fit, and half a pair is no result.
  WideBuffer small(BufferKind::kFixed2, 3);
  EXPECT_CODE(strings_->ConvertToUtf16(small.Output(), text.data(), Len(text), RYL_ENCODING_UTF8),
              RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(small.size(), 0u);
  EXPECT_EQ(small.resizes, (std::vector<uint32_t>{3, 0}));
  EXPECT_FALSE(small.Overrun());

  ByteBuffer none(BufferKind::kFixed2, 0);
  const std::wstring wide = L"x";
  EXPECT_CODE(strings_->ConvertFromUtf16(none.Output(), wide.data(), 1, RYL_ENCODING_UTF8), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(none.size(), 0u);
  EXPECT_FALSE(none.Overrun());
}

TEST_F(TextConversionTest, FixedBuffers_TooSmallFailWithOutOfRangeForEveryRoute) {
  const std::wstring euro = Units({0x41, 0x20AC});  // 4 bytes of UTF-8, 2 of a code page
  struct Case {
    uint32_t encoding;
    uint32_t capacity;
  };
  for (const Case& c : {Case{RYL_ENCODING_UTF8, 3}, Case{RYL_ENCODING_UTF32BE, 7}, Case{RYL_ENCODING_UTF16BE, 3},
                        Case{RYL_ENCODING_LATIN1, 1}, Case{RYL_ENCODING_ANSI, 1}, Case{RYL_ENCODING_OEM, 1},
                        Case{RYL_ENCODING_UTF16, 3}}) {
    SCOPED_TRACE(c.encoding);
    ByteBuffer buffer(BufferKind::kFixed2, c.capacity);
    EXPECT_CODE(strings_->ConvertFromUtf16(buffer.Output(), euro.data(), Len(euro), c.encoding), RYL_E_OUT_OF_RANGE);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_FALSE(buffer.Overrun());
  }
  const ByteText ansi = Bytes("abcdef");
  for (uint32_t encoding : {RYL_ENCODING_ANSI, RYL_ENCODING_OEM, RYL_ENCODING_LATIN1, RYL_ENCODING_UTF8}) {
    WideBuffer buffer(BufferKind::kFixed2, 5);
    EXPECT_CODE(strings_->ConvertToUtf16(buffer.Output(), ansi.data(), Len(ansi), encoding), RYL_E_OUT_OF_RANGE);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_FALSE(buffer.Overrun());
  }
}

TEST_F(TextConversionTest, FixedBuffers_MalformedTextFailsWithBadFormatInsideTheBuffer) {
  const ByteText text = Bytes({0x41, 0x42, 0xC0, 0x80});
  WideBuffer buffer(BufferKind::kFixed2, 8);
  EXPECT_CODE(strings_->ConvertToUtf16(buffer.Output(), text.data(), Len(text), RYL_ENCODING_UTF8), RYL_E_BAD_FORMAT);
  EXPECT_LE(buffer.size(), 8u);
  EXPECT_FALSE(buffer.Overrun());
}

TEST_F(TextConversionTest, GrowableBuffers_AreSizedExactlyOnce) {
  const ByteText text = Bytes({0xE2, 0x82, 0xAC, 0x41});
  WideBuffer v1;
  ASSERT_CODE(strings_->ConvertToUtf16(v1.Output(), text.data(), Len(text), RYL_ENCODING_UTF8), RYL_OK);
  EXPECT_EQ(v1.resizes, std::vector<uint32_t>{2});
  WideBuffer v2(BufferKind::kGrowable2);
  ASSERT_CODE(strings_->ConvertToUtf16(v2.Output(), text.data(), Len(text), RYL_ENCODING_UTF8), RYL_OK);
  EXPECT_EQ(v2.resizes, std::vector<uint32_t>{2});
  EXPECT_EQ(v2.capacityCalls, 1);
  EXPECT_EQ(v2.reserveCalls, 0);
  EXPECT_EQ(v2.swapCalls, 0);
  EXPECT_EQ(Wide(v2.Contents()), Units({0x20AC, 0x41}));
}

TEST_F(TextConversionTest, ResizeFailures_ArePassedThroughUnchanged) {
  constexpr ResultCode kHostCode = RYL_RESULT(0xE0071234u);
  const ByteText text = Bytes("text");
  const std::wstring wide = L"text";
  for (uint32_t encoding : {RYL_ENCODING_UTF8, RYL_ENCODING_ANSI, RYL_ENCODING_UTF32BE}) {
    SCOPED_TRACE(encoding);
    WideBuffer in;
    in.FailResizeWith(kHostCode);
    EXPECT_CODE(strings_->ConvertToUtf16(in.Output(), text.data(), Len(text), encoding), kHostCode);
    EXPECT_EQ(in.Contents(), WideBuffer::Sentinel());
    ByteBuffer out;
    out.FailResizeWith(kHostCode);
    EXPECT_CODE(strings_->ConvertFromUtf16(out.Output(), wide.data(), Len(wide), encoding), kHostCode);
    EXPECT_EQ(out.Contents(), ByteBuffer::Sentinel());
    ByteBuffer recoded;
    recoded.FailResizeWith(kHostCode);
    EXPECT_CODE(strings_->Recode(recoded.Output(), text.data(), Len(text), encoding, RYL_ENCODING_UTF8), kHostCode);
    // A fixed buffer that accepts its capacity but refuses the final trim.
    WideBuffer fixed(BufferKind::kFixed2, 10);
    fixed.FailResizeWith(kHostCode, 2);
    EXPECT_CODE(strings_->ConvertToUtf16(fixed.Output(), text.data(), Len(text), encoding), kHostCode);
    EXPECT_FALSE(fixed.Overrun());
  }
}

TEST_F(TextConversionTest, EmptySources_SetLengthZeroAndReturnThatResize) {
  constexpr ResultCode kHostCode = RYL_RESULT(0xE0070005u);
  for (uint32_t encoding : {RYL_ENCODING_ANSI, RYL_ENCODING_UTF8, RYL_ENCODING_UTF32BE}) {
    WideBuffer in;
    ASSERT_CODE(strings_->ConvertToUtf16(in.Output(), nullptr, 0, encoding), RYL_OK);
    EXPECT_EQ(in.resizes, std::vector<uint32_t>{0});
    EXPECT_EQ(in.size(), 0u);
    ByteBuffer out;
    ASSERT_CODE(strings_->ConvertFromUtf16(out.Output(), L"", 0, encoding), RYL_OK);
    EXPECT_EQ(out.resizes, std::vector<uint32_t>{0});
    ByteBuffer recoded;
    recoded.FailResizeWith(kHostCode);
    EXPECT_CODE(strings_->Recode(recoded.Output(), "", 0, encoding, RYL_ENCODING_OEM), kHostCode);
    EXPECT_EQ(recoded.resizes, std::vector<uint32_t>{0});
    uint32_t count = kUntouchedCount;
    ASSERT_CODE(strings_->GetUtf16Length(&count, nullptr, 0, encoding), RYL_OK);
    EXPECT_EQ(count, 0u);
    count = kUntouchedCount;
    ASSERT_CODE(strings_->GetRecodedLength(&count, nullptr, 0, encoding, RYL_ENCODING_UTF8), RYL_OK);
    EXPECT_EQ(count, 0u);
  }
}

TEST_F(TextConversionTest, UnsupportedEncodings_AreRefusedWithNotImplemented) {
  const ByteText text = Bytes("abc");
  const std::wstring wide = L"abc";
  for (uint32_t encoding : {3u, 11u, 12u, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(encoding);
    uint32_t count = kUntouchedCount;
    EXPECT_CODE(strings_->GetUtf16Length(&count, text.data(), Len(text), encoding), RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->GetEncodedLength(&count, wide.data(), Len(wide), encoding), RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->GetRecodedLength(&count, text.data(), Len(text), encoding, RYL_ENCODING_UTF8),
                RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->GetRecodedLength(&count, text.data(), Len(text), RYL_ENCODING_UTF8, encoding),
                RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->GetRecodedLength(&count, text.data(), Len(text), encoding, encoding),
                RYL_E_NOT_IMPLEMENTED);
    EXPECT_EQ(count, kUntouchedCount);
    WideBuffer in;
    EXPECT_CODE(strings_->ConvertToUtf16(in.Output(), text.data(), Len(text), encoding), RYL_E_NOT_IMPLEMENTED);
    EXPECT_TRUE(in.Untouched());
    ByteBuffer out;
    EXPECT_CODE(strings_->ConvertFromUtf16(out.Output(), wide.data(), Len(wide), encoding), RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->Recode(out.Output(), text.data(), Len(text), encoding, RYL_ENCODING_ANSI),
                RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->Recode(out.Output(), text.data(), Len(text), RYL_ENCODING_UTF16BE, encoding),
                RYL_E_NOT_IMPLEMENTED);
    EXPECT_CODE(strings_->Recode(out.Output(), text.data(), Len(text), encoding, encoding), RYL_E_NOT_IMPLEMENTED);
    EXPECT_TRUE(out.Untouched());
  }
}

TEST_F(TextConversionTest, MissingArguments_AreRefusedWithInvalidArg) {
  const ByteText text = Bytes("abc");
  EXPECT_CODE(strings_->GetUtf16Length(nullptr, text.data(), Len(text), RYL_ENCODING_UTF8), RYL_E_INVALID_ARG);
  uint32_t count = kUntouchedCount;
  EXPECT_CODE(strings_->GetUtf16Length(&count, nullptr, 3, RYL_ENCODING_UTF8), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->ConvertToUtf16(nullptr, text.data(), Len(text), RYL_ENCODING_UTF8), RYL_E_INVALID_ARG);
  OutputBuffer noTable{nullptr, nullptr, {nullptr, 0}};
  EXPECT_CODE(strings_->ConvertFromUtf16(&noTable, L"a", 1, RYL_ENCODING_UTF8), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->Recode(nullptr, text.data(), Len(text), RYL_ENCODING_UTF8, RYL_ENCODING_ANSI),
              RYL_E_INVALID_ARG);
  EXPECT_EQ(count, kUntouchedCount);
}

// --- Recoding ------------------------------------------------------------------------

TEST_F(TextConversionTest, Recode_AmongSystemCodePagesAndLatin1CountsBytesWithoutConverting) {
  const ByteText ten = Bytes({0x80, 0x81, 0x8D, 0x9F, 0xA0, 0xE9, 0xFF, 0x41, 0x00, 0x7F});
  for (uint32_t target : {0u, 1u, 2u}) {
    for (uint32_t source : {0u, 1u, 2u}) {
      uint32_t count = kUntouchedCount;
      ASSERT_CODE(strings_->GetRecodedLength(&count, ten.data(), Len(ten), target, source), RYL_OK);
      EXPECT_EQ(count, 10u) << target << " <- " << source;
    }
  }
}

TEST_F(TextConversionTest, Recode_BetweenNarrowEncodingsGoesThroughUtf16) {
  ByteText bytes;
  // "é" is 0xE9 in code page 1252 and 0x82 in code page 437.
  if (GetACP() == 1252 && GetOEMCP() == 437) {
    ASSERT_CODE(RecodeText(Bytes({0xE9, 0x41}), RYL_ENCODING_OEM, RYL_ENCODING_ANSI, &bytes), RYL_OK);
    EXPECT_EQ(bytes, Bytes({0x82, 0x41}));
    ASSERT_CODE(RecodeText(Bytes({0x82}), RYL_ENCODING_ANSI, RYL_ENCODING_OEM, &bytes), RYL_OK);
    EXPECT_EQ(bytes, Bytes({0xE9}));
  }
  const ByteText ansi = Bytes({0x80, 0x41});  // whole characters in every ANSI code page
  const std::wstring viaWine = AnsiToWide(CP_ACP, ansi);
  ByteText expected;
  ASSERT_CODE(FromUtf16(viaWine, RYL_ENCODING_UTF8, &expected), RYL_OK);
  ASSERT_CODE(RecodeText(ansi, RYL_ENCODING_UTF8, RYL_ENCODING_ANSI, &bytes), RYL_OK);
  EXPECT_EQ(bytes, expected);
  uint32_t count = kUntouchedCount;
  ASSERT_CODE(strings_->GetRecodedLength(&count, ansi.data(), Len(ansi), RYL_ENCODING_UTF8, RYL_ENCODING_ANSI),
              RYL_OK);
  EXPECT_EQ(count, expected.size());

  const ByteText utf8 = Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0x41});
  ASSERT_CODE(RecodeText(utf8, RYL_ENCODING_LATIN1, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xE9, '?', 0x41}));
  ASSERT_CODE(RecodeText(utf8, RYL_ENCODING_ANSI, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, WideToAnsi(CP_ACP, L"\u00E9\u20AC" L"A", 3));
  ASSERT_CODE(strings_->GetRecodedLength(&count, utf8.data(), Len(utf8), RYL_ENCODING_OEM, RYL_ENCODING_UTF8), RYL_OK);
  EXPECT_EQ(count, 3u);
  // Malformed source on the way to a code page.
  EXPECT_CODE(RecodeText(Bytes({0xC0, 0x80}), RYL_ENCODING_ANSI, RYL_ENCODING_UTF8, &bytes), RYL_E_BAD_FORMAT);
  EXPECT_CODE(strings_->GetRecodedLength(&count, "\xC0\x80", 2, RYL_ENCODING_OEM, RYL_ENCODING_UTF8),
              RYL_E_BAD_FORMAT);
}

TEST_F(TextConversionTest, Recode_BetweenTableEncodingsConvertsDirectly) {
  ByteText bytes;
  ASSERT_CODE(RecodeText(Bytes({0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80}), RYL_ENCODING_UTF16BE, RYL_ENCODING_UTF8,
                         &bytes),
              RYL_OK);
  EXPECT_EQ(bytes, Bytes({0x00, 0x41, 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00}));
  // An encoded surrogate shows the route: directly it is one more unit, while
  // measuring goes through UTF-16 text, where it is a lone surrogate.
  const ByteText surrogate = Bytes({0xED, 0xA0, 0x80});
  ASSERT_CODE(RecodeText(surrogate, RYL_ENCODING_UTF16BE, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0xD8, 0x00}));
  uint32_t count = kUntouchedCount;
  EXPECT_CODE(
      strings_->GetRecodedLength(&count, surrogate.data(), Len(surrogate), RYL_ENCODING_UTF16BE, RYL_ENCODING_UTF8),
      RYL_E_BAD_FORMAT);
  EXPECT_EQ(count, kUntouchedCount);
  // 0x110000 reaches UTF-32 whole, where the UTF-16 route would keep 20 bits.
  ASSERT_CODE(RecodeText(Bytes({0xF4, 0x90, 0x80, 0x80}), RYL_ENCODING_UTF32BE, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, Bytes({0x00, 0x11, 0x00, 0x00}));

  // The final length is what the direct conversion produced, in every kind of buffer.
  const ByteText latin = Bytes({0x80, 0xE9, 0x41});
  for (BufferKind kind : {BufferKind::kVersion1, BufferKind::kGrowable2, BufferKind::kFixed2}) {
    ByteBuffer buffer(kind, 16);
    ASSERT_CODE(strings_->Recode(buffer.Output(), latin.data(), Len(latin), RYL_ENCODING_UTF8, RYL_ENCODING_LATIN1),
                RYL_OK);
    EXPECT_EQ(buffer.Contents(), Bytes({0xC2, 0x80, 0xC3, 0xA9, 0x41}));
    EXPECT_FALSE(buffer.Overrun());
  }
  ByteBuffer tight(BufferKind::kFixed2, 4);
  EXPECT_CODE(strings_->Recode(tight.Output(), latin.data(), Len(latin), RYL_ENCODING_UTF8, RYL_ENCODING_LATIN1),
              RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(tight.size(), 0u);
  EXPECT_FALSE(tight.Overrun());
}

TEST_F(TextConversionTest, Recode_SameOrEquivalentIdsCopyTheBytes) {
  const ByteText malformed = Bytes({0xC0, 0x80, 0x41});
  ByteText bytes;
  ASSERT_CODE(RecodeText(malformed, RYL_ENCODING_UTF8, RYL_ENCODING_UTF8, &bytes), RYL_OK);
  EXPECT_EQ(bytes, malformed);
  ASSERT_CODE(RecodeText(malformed, RYL_ENCODING_UTF16LE, RYL_ENCODING_UTF16, &bytes), RYL_OK);
  EXPECT_EQ(bytes, malformed);
  ASSERT_CODE(RecodeText(malformed, RYL_ENCODING_UTF32, RYL_ENCODING_UTF32LE, &bytes), RYL_OK);
  EXPECT_EQ(bytes, malformed);
  ASSERT_CODE(RecodeText(malformed, RYL_ENCODING_OEM, RYL_ENCODING_OEM, &bytes), RYL_OK);
  EXPECT_EQ(bytes, malformed);
  uint32_t count = kUntouchedCount;
  ASSERT_CODE(strings_->GetRecodedLength(&count, malformed.data(), Len(malformed), RYL_ENCODING_UTF16,
                                         RYL_ENCODING_UTF16LE),
              RYL_OK);
  EXPECT_EQ(count, 3u);
  ByteBuffer small(BufferKind::kFixed2, 2);
  EXPECT_CODE(strings_->Recode(small.Output(), malformed.data(), Len(malformed), RYL_ENCODING_UTF8, RYL_ENCODING_UTF8),
              RYL_E_BUFFER_TOO_SMALL);  // the fixed buffer's own Resize refuses
  EXPECT_FALSE(small.Overrun());
}

}  // namespace
}  // namespace ryl::test
