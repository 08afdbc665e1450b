// Both CRC-32 kernels against zlib's crc32() and against each other, on
// lengths and alignments around every block boundary the kernels have.
#include "sys/codec/crc32_kernels.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "sys/codec/mini_hash_crc32.h"
#include "test_data.h"

namespace ryl::sys {
namespace {

using test::Bytes;

uint32_t Reference(const uint8_t* data, size_t length) {
  return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(length)));
}

uint32_t TableCrc(const uint8_t* data, size_t length) { return ~Crc32SliceBy8(0xFFFFFFFFu, data, length); }
uint32_t ClmulCrc(const uint8_t* data, size_t length) { return ~Crc32Clmul(0xFFFFFFFFu, data, length); }

TEST(RylMiniHashCrc32, KnownValues) {
  RylMiniHashCrc32 crc;
  EXPECT_EQ(crc.Get(), 0u);
  crc.Add("abc", 3);
  EXPECT_EQ(crc.Get(), 0x352441C2u);
  crc.Initialize();
  crc.Add("123456789", 9);
  EXPECT_EQ(crc.Get(), 0xCBF43926u);
  crc.Reset(0);
  EXPECT_EQ(crc.Get(), 0u);
}

TEST(RylMiniHashCrc32, PiecewiseAddsEqualOneAddAndResetContinuesASum) {
  const Bytes data = test::MakeMixedData(100000, 7);
  std::mt19937 rng(3);
  RylMiniHashCrc32 piecewise;
  size_t at = 0;
  while (at < data.size()) {
    const size_t n = std::min<size_t>(data.size() - at, rng() % 300);
    piecewise.Add(data.data() + at, n);
    at += n;
  }
  const uint32_t whole = Reference(data.data(), data.size());
  EXPECT_EQ(piecewise.Get(), whole);

  RylMiniHashCrc32 resumed;
  resumed.Reset(Reference(data.data(), 4321));
  resumed.Add(data.data() + 4321, data.size() - 4321);
  EXPECT_EQ(resumed.Get(), whole);
}

TEST(Crc32Kernels, TableKernelMatchesZlibOnEveryLengthAndAlignment) {
  const Bytes data = test::MakeRandomData(4096 + 64, 11);
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length <= 300; ++length) {
      ASSERT_EQ(TableCrc(data.data() + offset, length), Reference(data.data() + offset, length))
          << "offset " << offset << " length " << length;
    }
  }
}

TEST(Crc32Kernels, ClmulKernelMatchesTableKernelOnRandomLengthsAndAlignments) {
  if (!Crc32ClmulAvailable()) GTEST_SKIP() << "the processor has no PCLMULQDQ; only the table kernel runs here";
  const Bytes data = test::MakeRandomData(1 << 20, 12);
  // Every length across the first blocks, where the fold stages change.
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length <= 400; ++length) {
      ASSERT_EQ(ClmulCrc(data.data() + offset, length), TableCrc(data.data() + offset, length))
          << "offset " << offset << " length " << length;
    }
  }
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) {
    const size_t offset = rng() % 64;
    const size_t length = rng() % (data.size() - offset);
    const uint32_t seed = rng();
    ASSERT_EQ(~Crc32Clmul(seed, data.data() + offset, length), ~Crc32SliceBy8(seed, data.data() + offset, length))
        << "offset " << offset << " length " << length;
  }
  EXPECT_EQ(ClmulCrc(data.data(), data.size()), Reference(data.data(), data.size()));
}

TEST(Crc32Kernels, DispatcherAgreesWithZlibOnLargeInput) {
  const Bytes data = test::MakeMixedData(3 << 20, 13);
  EXPECT_EQ(~Crc32Update(0xFFFFFFFFu, data.data(), data.size()), Reference(data.data(), data.size()));
  EXPECT_EQ(~Crc32Update(0xFFFFFFFFu, data.data() + 1, data.size() - 3), Reference(data.data() + 1, data.size() - 3));
}

TEST(Crc32Kernels, ByteUpdateIsTheTableStep) {
  const Bytes data = test::ToBytes("The quick brown fox");
  uint32_t reg = 0xFFFFFFFFu;
  for (uint8_t b : data) reg = Crc32UpdateByte(reg, b);
  EXPECT_EQ(~reg, Reference(data.data(), data.size()));
}

}  // namespace
}  // namespace ryl::sys
