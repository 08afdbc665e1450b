// The pure layouts behind links and numbered copies: the reparse data a
// junction or symbolic link carries, byte for byte, and the names a copy
// takes when its own is taken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fs/numbered_copy_name.h"
#include "fs/reparse_data.h"
#include "support/result_matchers.h"

namespace ryl::fs {
namespace {

uint32_t Read16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Read32(const std::vector<uint8_t>& b, size_t at) { return Read16(b, at) | (Read16(b, at + 2) << 16); }
std::u16string Name(const std::vector<uint8_t>& b, size_t at, size_t bytes) {
  std::u16string text;
  for (size_t i = 0; i < bytes; i += 2) text += static_cast<char16_t>(Read16(b, at + i));
  return text;
}

TEST(ReparseDataTest, JunctionCarriesBothNamesZeroTerminated) {
  std::vector<uint8_t> data;
  ASSERT_CODE(BuildReparseData(kReparseTagMountPoint, u"\\??\\C:\\target", u"C:\\target", 0, &data), RYL_OK);
  const size_t substitute = 13 * 2;
  const size_t print = 9 * 2;
  ASSERT_EQ(data.size(), 8u + 8 + substitute + 2 + print + 2);
  EXPECT_EQ(Read32(data, 0), 0xA0000003u);
  EXPECT_EQ(Read16(data, 4), data.size() - 8);
  EXPECT_EQ(Read16(data, 6), 0u);
  EXPECT_EQ(Read16(data, 8), 0u);
  EXPECT_EQ(Read16(data, 10), substitute);
  EXPECT_EQ(Read16(data, 12), substitute + 2);
  EXPECT_EQ(Read16(data, 14), print);
  EXPECT_EQ(Name(data, 16, substitute), u"\\??\\C:\\target");
  EXPECT_EQ(Read16(data, 16 + substitute), 0u);
  EXPECT_EQ(Name(data, 16 + substitute + 2, print), u"C:\\target");
  EXPECT_EQ(Read16(data, data.size() - 2), 0u);
}

TEST(ReparseDataTest, SymbolicLinkCarriesFlagsAndNoTerminators) {
  std::vector<uint8_t> data;
  ASSERT_CODE(BuildReparseData(kReparseTagSymbolicLink, u"..\\x", u"..\\x", kSymbolicLinkRelative, &data), RYL_OK);
  ASSERT_EQ(data.size(), 8u + 12 + 8 + 8);
  EXPECT_EQ(Read32(data, 0), 0xA000000Cu);
  EXPECT_EQ(Read16(data, 4), 12u + 16);
  EXPECT_EQ(Read16(data, 10), 8u);
  EXPECT_EQ(Read16(data, 12), 8u);
  EXPECT_EQ(Read16(data, 14), 8u);
  EXPECT_EQ(Read32(data, 16), 1u);
  EXPECT_EQ(Name(data, 20, 8), u"..\\x");
  EXPECT_EQ(Name(data, 28, 8), u"..\\x");
}

TEST(ReparseDataTest, LimitsOnLengths) {
  std::vector<uint8_t> data;
  // The data length may reach 8184 bytes: 8 + 2 * 2 * (n + 1) for a
  // junction whose two names have n units each.
  const std::u16string fits(2043, u'a');
  EXPECT_CODE(BuildReparseData(kReparseTagMountPoint, fits, fits, 0, &data), RYL_OK);
  EXPECT_EQ(Read16(data, 4), 8184u);
  const std::u16string over(2044, u'a');
  EXPECT_CODE(BuildReparseData(kReparseTagMountPoint, over, fits, 0, &data), RYL_E_OUT_OF_RANGE);
  const std::u16string huge(0x8000, u'a');
  EXPECT_CODE(BuildReparseData(kReparseTagSymbolicLink, huge, u"x", 0, &data), RYL_E_INVALID_ARG);
  EXPECT_CODE(BuildReparseData(0x80000017u, u"x", u"x", 0, &data), RYL_E_INVALID_ARG);
}

std::u16string Numbered(std::u16string_view path, uint32_t number) {
  strings::PathScratchBuffer out;
  EXPECT_CODE(MakeNumberedCopyName(NumberedCopyBase(path), number, &out), RYL_OK);
  return std::u16string(out.data(), out.size());
}

TEST(NumberedCopyNameTest, NumbersCountOnFromTheBaseName) {
  EXPECT_EQ(Numbered(u"C:\\t\\a.txt", 1), u"C:\\t\\a.txt.1");
  EXPECT_EQ(Numbered(u"C:\\t\\a.txt", 99), u"C:\\t\\a.txt.99");
  EXPECT_EQ(Numbered(u"C:\\t\\a.txt.3", 1), u"C:\\t\\a.txt.1");
  EXPECT_EQ(Numbered(u"C:\\t\\a.txt.12x", 2), u"C:\\t\\a.txt.12x.2");
  EXPECT_EQ(Numbered(u"C:\\t\\noext", 4), u"C:\\t\\noext.4");
  EXPECT_EQ(Numbered(u"C:\\t\\trailing.", 1), u"C:\\t\\trailing..1");
  EXPECT_EQ(Numbered(u"C:\\v.2\\name", 1), u"C:\\v.2\\name.1");
  EXPECT_EQ(Numbered(u"C:\\t\\7", 1), u"C:\\t\\7.1");
  EXPECT_EQ(Numbered(u"C:\\t\\.5", 1), u"C:\\t\\.1");
}

}  // namespace
}  // namespace ryl::fs
