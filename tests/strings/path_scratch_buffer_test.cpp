// The scratch store for path text: inline up to 260 characters, on the heap
// beyond, zero-terminated after every change.
#include "strings/path_scratch_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/result_matchers.h"

namespace ryl::strings {
namespace {

template <uint32_t N>
std::u16string TextOf(const BasicPathScratchBuffer<N>& buffer) {
  // Reading up to the terminator checks that it is where the length says.
  const std::u16string terminated(buffer.c_str());
  EXPECT_EQ(terminated.size(), buffer.size());
  return terminated;
}

TEST(PathScratchBuffer, KeepsUpTo260CharactersInline) {
  PathScratchBuffer buffer;
  EXPECT_EQ(buffer.capacity(), 260u);
  const std::u16string text(260, u'a');
  ASSERT_CODE(buffer.Assign(text.data(), 260), RYL_OK);
  EXPECT_FALSE(buffer.IsOnHeap());
  EXPECT_EQ(TextOf(buffer), text);
  ASSERT_CODE(buffer.Append(u'b'), RYL_OK);
  EXPECT_TRUE(buffer.IsOnHeap());
  EXPECT_EQ(TextOf(buffer), text + u"b");
}

TEST(PathScratchBuffer, EditsKeepTheTextTerminated) {
  SmallPathScratchBuffer buffer;  // a small inline store forces the move early
  ASSERT_CODE(buffer.Assign(u"C:\\dir", 6), RYL_OK);
  ASSERT_CODE(buffer.Insert(0, u"\\\\?\\", 4), RYL_OK);
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:\\dir");
  ASSERT_CODE(buffer.Insert(7, u"XYZ", 3), RYL_OK);
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:\\XYZdir");
  ASSERT_CODE(buffer.Append(u"\\sub-directory-name", 19), RYL_OK);
  EXPECT_TRUE(buffer.IsOnHeap());
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:\\XYZdir\\sub-directory-name");
  buffer.Erase(7, 3);
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:\\dir\\sub-directory-name");
  buffer.Erase(10, 1000);
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:\\dir");
  buffer.Erase(50, 1);  // past the end: nothing happens
  buffer.Truncate(6);
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:");
  buffer.Truncate(100);
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:");
  ASSERT_CODE(buffer.Insert(999, u"\\", 1), RYL_OK);  // clamped to the end
  EXPECT_EQ(TextOf(buffer), u"\\\\?\\C:\\");
  buffer.Clear();
  EXPECT_EQ(TextOf(buffer), u"");
}

TEST(PathScratchBuffer, ResizeAndReserveKeepTheText) {
  SmallPathScratchBuffer buffer;
  ASSERT_CODE(buffer.Assign(u"abc", 3), RYL_OK);
  ASSERT_CODE(buffer.Reserve(1000), RYL_OK);
  EXPECT_GE(buffer.capacity(), 1000u);
  EXPECT_EQ(TextOf(buffer), u"abc");
  ASSERT_CODE(buffer.Resize(2), RYL_OK);
  EXPECT_EQ(TextOf(buffer), u"ab");
  ASSERT_CODE(buffer.Resize(5), RYL_OK);
  EXPECT_EQ(buffer.size(), 5u);
  EXPECT_EQ(buffer.c_str()[5], u'\0');
}

TEST(PathScratchBuffer, ImpossibleGrowthFailsAndKeepsTheText) {
  PathScratchBuffer buffer;
  ASSERT_CODE(buffer.Assign(u"keep", 4), RYL_OK);
  EXPECT_CODE(buffer.Reserve(0x7FFFFFF0u), RYL_E_OUT_OF_MEMORY);
  EXPECT_CODE(buffer.Resize(0xFFFFFFFFu), RYL_E_OUT_OF_MEMORY);
  EXPECT_CODE(buffer.Append(u"x", 0xFFFFFFFEu), RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(TextOf(buffer), u"keep");
  EXPECT_FALSE(buffer.IsOnHeap());
}

}  // namespace
}  // namespace ryl::strings
