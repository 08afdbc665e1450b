// The system code-page conversions inside the strings library (white-box):
// how UTF-16 text is cut into chunks, and the sizing that a multibyte code
// page needs, exercised on Wine's single-byte code pages by making the
// library believe the code page is multibyte.
#include "strings/system_encodings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/growable_buffer.h"
#include "strings/text_conversion.h"
#include "support/result_matchers.h"
#include "sys/code_pages.h"

namespace ryl::strings {
namespace {

std::vector<uint32_t> ChunkPlan(const std::u16string& text) {
  std::vector<uint32_t> plan;
  for (uint32_t offset = 0; offset < text.size();) {
    const uint32_t chunk = NextChunkFromUtf16(text.data() + offset, static_cast<uint32_t>(text.size()) - offset);
    plan.push_back(chunk);
    offset += chunk;
  }
  return plan;
}

TEST(NextChunkFromUtf16, NeverSplitsASurrogatePair) {
  std::u16string text(70000, u'a');
  text[32765] = 0xD83D;
  text[32766] = 0xDE00;
  EXPECT_EQ(ChunkPlan(text), (std::vector<uint32_t>{32765, 32766, 4469}));

  std::u16string plain(70000, u'a');
  EXPECT_EQ(ChunkPlan(plain), (std::vector<uint32_t>{32766, 32766, 4468}));

  // A remainder of up to 32766 units is one chunk, whatever its last unit.
  std::u16string fits(32766, u'a');
  fits.back() = 0xD83D;
  EXPECT_EQ(ChunkPlan(fits), std::vector<uint32_t>{32766});
  std::u16string over(32767, u'a');
  over[32765] = 0xDBFF;
  EXPECT_EQ(ChunkPlan(over), (std::vector<uint32_t>{32765, 2}));
  over[32765] = 0xDC00;  // a low surrogate may end a chunk
  EXPECT_EQ(ChunkPlan(over), (std::vector<uint32_t>{32766, 1}));
}

// Makes the library take the code page for multibyte for one test.
class MultibyteSizing : public ::testing::Test {
 protected:
  void SetUp() override {
    if (sys::RylIsMultibyteCodePage()) {
      GTEST_SKIP() << "the system's code pages are multibyte already; the black-box tests cover them";
    }
    sys::RylOverrideMultibyteCodePageForTesting(1);
  }
  void TearDown() override { sys::RylOverrideMultibyteCodePageForTesting(-1); }
};

TEST_F(MultibyteSizing, SizesComeFromTheSystemAndMatchTheConversion) {
  std::vector<uint8_t> text(80000);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>(0x20 + i % 0xE0);
  for (uint32_t encoding : {0u, 2u}) {
    uint32_t units = 0;
    ASSERT_CODE(MeasureToUtf16(text.data(), static_cast<uint32_t>(text.size()), encoding, &units), RYL_OK);
    EXPECT_EQ(units, text.size());  // the system answers one unit per byte on a single-byte page
    core::GrowableBuffer<char16_t> wide;
    ASSERT_CODE(ConvertToUtf16(wide.Output(), text.data(), static_cast<uint32_t>(text.size()), encoding), RYL_OK);
    ASSERT_EQ(wide.size(), units);

    uint32_t bytes = 0;
    ASSERT_CODE(MeasureFromUtf16(wide.data(), wide.size(), encoding, &bytes), RYL_OK);
    EXPECT_EQ(bytes, text.size());
    core::GrowableBuffer<uint8_t> narrow;
    ASSERT_CODE(ConvertFromUtf16(narrow.Output(), wide.data(), wide.size(), encoding), RYL_OK);
    ASSERT_EQ(narrow.size(), text.size());
    EXPECT_EQ(std::vector<uint8_t>(narrow.data(), narrow.data() + narrow.size()), text);
  }
}

TEST_F(MultibyteSizing, ConversionMatchesTheSingleByteRoute) {
  std::u16string text(40000, u'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(0x41 + i % 200);
  text[32765] = 0xD83D;
  text[32766] = 0xDE00;
  core::GrowableBuffer<uint8_t> asked;
  ASSERT_CODE(ConvertFromUtf16(asked.Output(), text.data(), static_cast<uint32_t>(text.size()), 0), RYL_OK);
  sys::RylOverrideMultibyteCodePageForTesting(0);
  core::GrowableBuffer<uint8_t> assumed;
  ASSERT_CODE(ConvertFromUtf16(assumed.Output(), text.data(), static_cast<uint32_t>(text.size()), 0), RYL_OK);
  ASSERT_EQ(asked.size(), assumed.size());
  EXPECT_EQ(std::vector<uint8_t>(asked.data(), asked.data() + asked.size()),
            std::vector<uint8_t>(assumed.data(), assumed.data() + assumed.size()));
}

TEST_F(MultibyteSizing, TooSmallDestinationsFailWithOutOfRange) {
  const std::u16string text = u"abcdef";
  std::vector<uint8_t> destination(5 + 4, 0xFD);
  uint32_t produced = 0xDEADBEEF;
  EXPECT_CODE(ConvertUtf16ToSystem(sys::RylCodePage::kAnsi, text.data(), 6, destination.data(), 5, &produced),
              RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(produced, 0xDEADBEEF);
  for (size_t i = 5; i < destination.size(); ++i) EXPECT_EQ(destination[i], 0xFD) << i;
  ASSERT_CODE(ConvertUtf16ToSystem(sys::RylCodePage::kOem, text.data(), 6, destination.data(), 6, &produced),
              RYL_OK);
  EXPECT_EQ(produced, 6u);
  for (size_t i = 6; i < destination.size(); ++i) EXPECT_EQ(destination[i], 0xFD) << i;
}

}  // namespace
}  // namespace ryl::strings
