// The buffer discipline and results both codec contexts promise the streams.
#include <gtest/gtest.h>

#include "support/result_matchers.h"
#include "sys/codec/bz2_context.h"
#include "sys/codec/deflate_context.h"
#include "test_data.h"

namespace ryl::sys {
namespace {

using test::Bytes;

ResultCode Init(RylDeflateContext& c, uint32_t size, bool compress, int level) {
  return c.Initialize(size, compress, level, true);
}
ResultCode Init(RylBZ2Context& c, uint32_t size, bool compress, int level) {
  return c.Initialize(size, compress, static_cast<uint8_t>(level));
}

// What the wrapped library makes of data at level 9, both codecs' strongest.
Bytes Reference(const RylDeflateContext*, const Bytes& data) { return test::ZlibRawDeflate(data, 9); }
Bytes Reference(const RylBZ2Context*, const Bytes& data) { return test::Bz2Compress(data, 9); }

// Compresses with the context alone, the way the streams drive it.
template <typename Context>
Bytes CompressWith(Context& c, const Bytes& data) {
  Bytes out;
  c.SetNextIn(data.data());
  c.SetAvailIn(static_cast<uint32_t>(data.size()));
  while (c.GetAvailIn() != 0) {
    EXPECT_CODE(c.Compress(), RYL_OK);
    if (c.GetAvailOut() == 0) {
      out.insert(out.end(), c.GetBuffer(), c.GetBuffer() + c.GetBufferSize());
      c.SetNextOut(c.GetBuffer());
      c.SetAvailOut(c.GetBufferSize());
    }
  }
  for (;;) {
    const ResultCode rc = c.CompressFinish();
    EXPECT_GE(rc, 0);
    out.insert(out.end(), c.GetBuffer(), c.GetNextOut());
    c.SetNextOut(c.GetBuffer());
    c.SetAvailOut(c.GetBufferSize());
    if (rc != RYL_OK) break;
  }
  return out;
}

template <typename Context>
class CodecContextTest : public ::testing::Test {};
using Contexts = ::testing::Types<RylDeflateContext, RylBZ2Context>;
TYPED_TEST_SUITE(CodecContextTest, Contexts);

TYPED_TEST(CodecContextTest, InitializeSetsTheBufferDisciplineForEachDirection) {
  TypeParam compressor;
  ASSERT_CODE(Init(compressor, 1000, true, 6), RYL_OK);
  ASSERT_NE(compressor.GetBuffer(), nullptr);
  EXPECT_EQ(compressor.GetBufferSize(), 1000u);
  EXPECT_EQ(compressor.GetNextOut(), compressor.GetBuffer());
  EXPECT_EQ(compressor.GetAvailOut(), 1000u);
  EXPECT_GT(compressor.GetMaxAvail(), 0u);

  TypeParam decompressor;
  ASSERT_CODE(Init(decompressor, 77, false, 0), RYL_OK);
  EXPECT_EQ(decompressor.GetAvailIn(), 0u);
  EXPECT_EQ(decompressor.GetBufferSize(), 77u);
  EXPECT_FALSE(decompressor.IsEndOfStream());
}

TYPED_TEST(CodecContextTest, RefusesBadArgumentsAndASecondInitialize) {
  TypeParam context;
  EXPECT_CODE(Init(context, 0, true, 6), RYL_E_INVALID_ARG);
  EXPECT_CODE(Init(context, 100, true, 10), RYL_E_INVALID_ARG);
  EXPECT_FALSE(context.IsInitialized());
  ASSERT_CODE(Init(context, 100, true, 9), RYL_OK);
  EXPECT_CODE(Init(context, 100, false, 0), RYL_E_INVALID_STATE);
}

TYPED_TEST(CodecContextTest, OperationsOfTheOtherDirectionAreRefused) {
  TypeParam compressor;
  ASSERT_CODE(Init(compressor, 64, true, 1), RYL_OK);
  EXPECT_CODE(compressor.Decompress(), RYL_E_INVALID_STATE);
  TypeParam decompressor;
  ASSERT_CODE(Init(decompressor, 64, false, 0), RYL_OK);
  EXPECT_CODE(decompressor.Compress(), RYL_E_INVALID_STATE);
  EXPECT_CODE(decompressor.CompressFinish(), RYL_E_INVALID_STATE);
  TypeParam uninitialised;
  EXPECT_CODE(uninitialised.Compress(), RYL_E_INVALID_STATE);
  EXPECT_CODE(uninitialised.Decompress(), RYL_E_INVALID_STATE);
}

TYPED_TEST(CodecContextTest, CompressesLikeTheLibraryItWrapsAndFinishesOnce) {
  const Bytes data = test::MakeMixedData(200000, 21);
  TypeParam context;
  // A small buffer makes every call run out of output space many times.
  ASSERT_CODE(Init(context, 333, true, 9), RYL_OK);
  const Bytes ours = CompressWith(context, data);
  EXPECT_EQ(ours, Reference(static_cast<TypeParam*>(nullptr), data));
  EXPECT_CODE(context.CompressFinish(), RYL_S_END_OF_DATA);
  EXPECT_EQ(context.GetNextOut(), context.GetBuffer());
  EXPECT_CODE(context.Compress(), RYL_E_INVALID_STATE);
}

TYPED_TEST(CodecContextTest, DecompressSetsEndOfStreamAndLeavesTrailingInput) {
  const Bytes data = test::MakeMixedData(5000, 22);
  Bytes packed = Reference(static_cast<TypeParam*>(nullptr), data);
  packed.push_back(0xAA);
  packed.push_back(0xBB);
  TypeParam context;
  ASSERT_CODE(Init(context, 16, false, 0), RYL_OK);
  Bytes out(data.size() + 100);
  context.SetNextIn(packed.data());
  context.SetAvailIn(static_cast<uint32_t>(packed.size()));
  context.SetNextOut(out.data());
  context.SetAvailOut(static_cast<uint32_t>(out.size()));
  int calls = 0;
  while (!context.IsEndOfStream() && calls++ < 100) ASSERT_CODE(context.Decompress(), RYL_OK);
  ASSERT_TRUE(context.IsEndOfStream());
  EXPECT_EQ(context.GetAvailIn(), 2u);
  EXPECT_EQ(*context.GetNextIn(), 0xAA);
  out.resize(context.GetNextOut() - out.data());
  EXPECT_EQ(out, data);
  // Once at the end, further calls change nothing.
  EXPECT_CODE(context.Decompress(), RYL_OK);
  EXPECT_EQ(context.GetAvailIn(), 2u);
}

TYPED_TEST(CodecContextTest, CorruptInputIsBadFormat) {
  Bytes packed = Reference(static_cast<TypeParam*>(nullptr), test::MakeRandomData(3000, 23));
  for (size_t i = 0; i < packed.size(); i += 7) packed[i] ^= 0x5A;
  TypeParam context;
  ASSERT_CODE(Init(context, 64, false, 0), RYL_OK);
  Bytes out(100000);
  context.SetNextIn(packed.data());
  context.SetAvailIn(static_cast<uint32_t>(packed.size()));
  context.SetNextOut(out.data());
  context.SetAvailOut(static_cast<uint32_t>(out.size()));
  ResultCode rc = RYL_OK;
  for (int i = 0; i < 100 && rc == RYL_OK && !context.IsEndOfStream(); ++i) rc = context.Decompress();
  EXPECT_CODE(rc, RYL_E_BAD_FORMAT);
}

TEST(RylDeflateContext, TheFourthArgumentChoosesBareOrWrappedData) {
  const Bytes data = test::ToBytes("hello hello hello hello");
  RylDeflateContext wrapped;
  ASSERT_CODE(wrapped.Initialize(256, true, 6, false), RYL_OK);
  const Bytes out = CompressWith(wrapped, data);
  ASSERT_GE(out.size(), 6u);
  EXPECT_EQ(out[0], 0x78);  // the zlib header: deflate, 32 KiB window
  RylDeflateContext bare;
  ASSERT_CODE(bare.Initialize(256, true, 6, true), RYL_OK);
  EXPECT_EQ(CompressWith(bare, data), test::ZlibRawDeflate(data, 6));
}

TEST(RylDeflateContext, AcceptsLevelsMinusOneToNine) {
  for (int level = -1; level <= 9; ++level) {
    RylDeflateContext context;
    EXPECT_CODE(context.Initialize(128, true, level, true), RYL_OK) << "level " << level;
  }
  RylDeflateContext context;
  EXPECT_CODE(context.Initialize(128, true, -2, true), RYL_E_INVALID_ARG);
}

TEST(RylBZ2Context, LevelZeroMeansTheLargestBlock) {
  const Bytes data = test::MakeMixedData(1000, 24);
  RylBZ2Context context;
  ASSERT_CODE(context.Initialize(128, true, 0), RYL_OK);
  const Bytes out = CompressWith(context, data);
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(out[3], '9');
  bool ok = false;
  EXPECT_EQ(test::Bz2Decompress(out, &ok), data);
  EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace ryl::sys
