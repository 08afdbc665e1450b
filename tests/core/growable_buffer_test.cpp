// The module's own version-2 output buffers, through their callback tables
// as a module operation would drive them.
#include "core/growable_buffer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/result_matchers.h"

namespace ryl::core {
namespace {

TEST(GrowableBuffer, ResizeKeepsThePrefixAndGrowsAsNeeded) {
  GrowableBuffer<char16_t> buffer;
  OutputBuffer* out = buffer.Output();
  EXPECT_EQ(out->callbacks->version, 2u);
  ASSERT_CODE(out->callbacks->Resize(&out->view, 3, out->context), RYL_OK);
  std::memcpy(out->view.data, u"abc", 6);
  ASSERT_CODE(out->callbacks->Resize(&out->view, 5000, out->context), RYL_OK);
  EXPECT_EQ(out->view.length, 5000u);
  EXPECT_EQ(std::memcmp(out->view.data, u"abc", 6), 0);
  ASSERT_CODE(out->callbacks->Resize(&out->view, 2, out->context), RYL_OK);
  EXPECT_EQ(buffer.size(), 2u);
  EXPECT_EQ(buffer.data()[1], u'b');
}

TEST(GrowableBuffer, ReserveKeepsTheLengthAndCapacityReportsGrowable) {
  GrowableBuffer<uint8_t> buffer;
  OutputBuffer* out = buffer.Output();
  ASSERT_CODE(buffer.Resize(4), RYL_OK);
  ASSERT_CODE(out->callbacks->Reserve(&out->view, 1000, out->context), RYL_OK);
  EXPECT_EQ(out->view.length, 4u);
  uint8_t canGrow = 0xCC;
  EXPECT_GE(out->callbacks->Capacity(&canGrow, out->context), 1000u);
  EXPECT_EQ(canGrow, 1);
}

TEST(GrowableBuffer, SwapExchangesStorageOfTheSameKindOnly) {
  GrowableBuffer<char16_t> a;
  GrowableBuffer<char16_t> b;
  ASSERT_CODE(a.Resize(2), RYL_OK);
  a.data()[0] = u'x';
  a.data()[1] = u'y';
  ASSERT_CODE(b.Resize(1), RYL_OK);
  b.data()[0] = u'z';
  OutputBuffer* oa = a.Output();
  OutputBuffer* ob = b.Output();
  ASSERT_CODE(oa->callbacks->Swap(&oa->view, ob->callbacks, ob->context, &ob->view, oa->context), RYL_OK);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a.data()[0], u'z');
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b.data()[1], u'y');

  GrowableBuffer<uint8_t> bytes;
  ASSERT_CODE(bytes.Resize(7), RYL_OK);
  OutputBuffer* oc = bytes.Output();
  EXPECT_CODE(oa->callbacks->Swap(&oa->view, oc->callbacks, oc->context, &oc->view, oa->context),
              RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(a.size(), 1u);
  EXPECT_EQ(bytes.size(), 7u);
}

TEST(GrowableBuffer, ImpossibleSizeFailsCleanlyAndKeepsTheContents) {
  GrowableBuffer<char16_t> buffer;
  ASSERT_CODE(buffer.Resize(3), RYL_OK);
  buffer.data()[0] = u'q';
  EXPECT_CODE(buffer.Resize(0xFFFFFFF0u), RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(buffer.size(), 3u);
  EXPECT_EQ(buffer.data()[0], u'q');
}

}  // namespace
}  // namespace ryl::core
