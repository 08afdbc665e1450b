// The names of the library's own temporary artefacts: one form, fresh every
// time, written exactly to its length.
#include "sys/temp_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/result_matchers.h"

namespace ryl::sys {
namespace {

bool IsIdentifierText(std::u16string_view text) {
  if (text.size() != RylGuidUtils::kTextLength) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (c == u'-')) return false;
    if (!dash && !((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return false;
  }
  return true;
}

TEST(TempName, StemAndFileNameHaveTheirFormAndNotAUnitMore) {
  char16_t name[kRylTempFileNameLength + 2];
  std::fill(std::begin(name), std::end(name), u'#');
  ASSERT_CODE(RylMakeTempFileName(name), RYL_OK);
  const std::u16string_view text(name, kRylTempFileNameLength);
  EXPECT_EQ(text.substr(0, 4), u"vqz-");
  EXPECT_TRUE(IsIdentifierText(text.substr(4, RylGuidUtils::kTextLength)));
  EXPECT_EQ(text.substr(kRylTempStemLength), u".tmp");
  EXPECT_EQ(name[kRylTempFileNameLength], u'#');

  char16_t stem[kRylTempStemLength + 1];
  std::fill(std::begin(stem), std::end(stem), u'#');
  ASSERT_CODE(RylMakeTempStem(stem), RYL_OK);
  EXPECT_EQ(std::u16string_view(stem, 4), u"vqz-");
  EXPECT_TRUE(IsIdentifierText(std::u16string_view(stem + 4, RylGuidUtils::kTextLength)));
  EXPECT_EQ(stem[kRylTempStemLength], u'#');

  EXPECT_CODE(RylMakeTempStem(nullptr), RYL_E_INVALID_ARG);
  EXPECT_CODE(RylMakeTempFileName(nullptr), RYL_E_INVALID_ARG);
}

TEST(TempName, EveryNameIsFresh) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 500; ++i) {
    char16_t name[kRylTempFileNameLength];
    ASSERT_CODE(RylMakeTempFileName(name), RYL_OK);
    EXPECT_TRUE(seen.emplace(name, kRylTempFileNameLength).second);
  }
}

}  // namespace
}  // namespace ryl::sys
