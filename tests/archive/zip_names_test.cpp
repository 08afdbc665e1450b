// Entry names: the one stored form, what is refused, and the lookup rule.
#include <gtest/gtest.h>

#include "archive/zip_names.h"
#include "archive/zip_records.h"
#include "archive/zip_text.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

TEST(NormalizeEntryName, UsesSlashOnlyCollapsesRunsAndMarksDirectoriesByTheTrailingSlash) {
  struct Case {
    std::u16string in;
    std::u16string out;
    uint32_t attributes;
  };
  for (const Case& c : {Case{u"a\\b//c", u"a/b/c", kExternalAttributesFile},
                        Case{u"dir\\", u"dir/", kExternalAttributesDirectory},
                        Case{u"d\\\\/\\", u"d/", kExternalAttributesDirectory},
                        Case{u"plain", u"plain", kExternalAttributesFile},
                        Case{u"a/./b", u"a/./b", kExternalAttributesFile},
                        Case{u"\u00e9\\\u00e8", u"\u00e9/\u00e8", kExternalAttributesFile}}) {
    std::u16string out;
    uint32_t attributes = 0;
    ASSERT_CODE(NormalizeEntryName(c.in, &out, &attributes), RYL_OK);
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(attributes, c.attributes);
  }
}

TEST(NormalizeEntryName, RefusesEmptyRootedAndSeparatorOnlyNamesLeavingOutputs) {
  for (const std::u16string& bad : {std::u16string(), std::u16string(u"/a"), std::u16string(u"\\a"),
                                    std::u16string(u"/"), std::u16string(u"\\/\\")}) {
    std::u16string out = u"kept";
    uint32_t attributes = 0xDEADBEEF;
    EXPECT_CODE(NormalizeEntryName(bad, &out, &attributes), RYL_E_INVALID_ARG);
    EXPECT_EQ(out, u"kept");
    EXPECT_EQ(attributes, 0xDEADBEEFu);
    EXPECT_FALSE(IsValidEntryName(bad));
  }
}

TEST(MakeDirectoryName, AppendsOneSlashOnlyWhenMissing) {
  std::u16string name = u"d";
  ASSERT_CODE(MakeDirectoryName(&name), RYL_OK);
  ASSERT_CODE(MakeDirectoryName(&name), RYL_OK);
  EXPECT_EQ(name, u"d/");
  EXPECT_TRUE(IsDirectoryName(name));
}

TEST(EntryNamesMatch, TreatsBothSeparatorsAsEqualButKeepsCase) {
  EXPECT_TRUE(EntryNamesMatch(u"a\\b", u"a/b"));
  EXPECT_TRUE(EntryNamesMatch(u"a/b", u"a\\b"));
  EXPECT_FALSE(EntryNamesMatch(u"A/B", u"a/b"));
  EXPECT_FALSE(EntryNamesMatch(u"a/b", u"a/b/"));
  EXPECT_FALSE(EntryNamesMatch(u"a//b", u"a/b"));
  EXPECT_TRUE(EntryNamesMatch(u"", u""));
}

TEST(ZipText, EntryTextsAreUtf8UnderBit11AndOemOtherwise) {
#ifndef _WIN32
  GTEST_SKIP() << "the portable build stands in ISO-8859-1 for the OEM code page; this checks code page 437";
#endif
  const uint8_t oem[] = {0x82, 0x9C, 'x'};  // code page 437
  std::u16string text;
  ASSERT_CODE(DecodeEntryText(oem, sizeof oem, false, &text), RYL_OK);
  EXPECT_EQ(text, u"\u00e9\u00a3x");
  const uint8_t utf8[] = {0xC3, 0xA9, 0xE2, 0x82, 0xAC};
  ASSERT_CODE(DecodeEntryText(utf8, sizeof utf8, true, &text), RYL_OK);
  EXPECT_EQ(text, u"\u00e9\u20ac");
  // Malformed UTF-8 is refused, and the output keeps what it had.
  const uint8_t bad[] = {'a', 0xC3};
  EXPECT_LT(DecodeEntryText(bad, sizeof bad, true, &text), 0);
  EXPECT_EQ(text, u"\u00e9\u20ac");

  std::vector<uint8_t> encoded;
  ASSERT_CODE(EncodeEntryText(u"\u00e9\u20ac", &encoded), RYL_OK);
  EXPECT_EQ(encoded, std::vector<uint8_t>(utf8, utf8 + sizeof utf8));
  EXPECT_FALSE(NeedsUtf8Flag(u"plain ASCII~\x7f"));
  EXPECT_TRUE(NeedsUtf8Flag(u"\x80"));

  // The archive comment: OEM both ways, so that it survives open and save.
  ASSERT_CODE(DecodeArchiveComment(oem, sizeof oem, &text), RYL_OK);
  EXPECT_EQ(text, u"\u00e9\u00a3x");
  ASSERT_CODE(EncodeArchiveComment(text, &encoded), RYL_OK);
  EXPECT_EQ(encoded, std::vector<uint8_t>(oem, oem + sizeof oem));
  ASSERT_CODE(EncodePassword(u"p\u00e4ss", &encoded), RYL_OK);
  EXPECT_EQ(encoded, (std::vector<uint8_t>{'p', 0xE4, 's', 's'}));
}

}  // namespace
}  // namespace ryl::archive
