// Crc32Hash, the CRC sink stream and HashStreamContent.
#include <gtest/gtest.h>

#include <string>
#include <zlib.h>

#include <array>

#include "codec/crc32_hash.h"
#include "codec/crc_sink_stream.h"
#include "codec/hash_stream_content.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"
#include "test_data.h"
#include "test_streams.h"

namespace ryl::codec {
namespace {

using test::Bytes;
using Digest8 = std::array<uint8_t, 8>;
constexpr Digest8 kPoison = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};

TEST(Crc32Hash, DescribesItselfAndWritesTheCrcMostSignificantByteFirst) {
  Crc32Hash hash;
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(hash.GetName())), u"CRC32");
  EXPECT_EQ(hash.GetDigestSize(), 4u);
  hash.Initialize();
  hash.Add(reinterpret_cast<const uint8_t*>("abc"), 3);
  Digest8 out = kPoison;
  ASSERT_CODE(hash.GetDigest(out.data(), 8), RYL_OK);
  EXPECT_EQ(out, (Digest8{0x35, 0x24, 0x41, 0xC2, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(Crc32Hash, TooSmallADigestBufferIsOutOfRangeAndUntouched) {
  Crc32Hash hash;
  hash.Initialize();
  hash.Add(reinterpret_cast<const uint8_t*>("abc"), 3);
  Digest8 out = kPoison;
  EXPECT_CODE(hash.GetDigest(out.data(), 3), RYL_E_OUT_OF_RANGE);
  EXPECT_CODE(hash.GetDigest(out.data(), 0), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(out, kPoison);
  ASSERT_CODE(hash.GetDigest(out.data(), 4), RYL_OK);
  EXPECT_EQ(out[3], 0xC2);
  EXPECT_EQ(out[4], 0xEE);
}

TEST(Crc32Hash, ResetRestartsTheSum) {
  Crc32Hash hash;
  hash.Initialize();
  hash.Add(reinterpret_cast<const uint8_t*>("xyz"), 3);
  hash.Reset();
  hash.Add(reinterpret_cast<const uint8_t*>("abc"), 3);
  EXPECT_EQ(hash.value(), 0x352441C2u);
  hash.Reset();
  EXPECT_EQ(hash.value(), 0u);
}

TEST(HashStreamContent, EmptyStreamGivesTheCrcOfNothing) {
  streams::MemoryStream source;
  Crc32Hash hash;
  Digest8 out = kPoison;
  ASSERT_CODE(HashStreamContent(hash, source, out.data(), 4), RYL_OK);
  EXPECT_EQ(out, (Digest8{0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(HashStreamContent, HashesFromTheCurrentPositionAndLeavesTheStreamAtItsEnd) {
  Bytes text = test::ToBytes("_abc");
  streams::MemoryStream source(text.data(), 4, 4, streams::MemoryStream::kReadOnly);
  ASSERT_CODE(source.Seek(1, RYL_SEEK_BEGIN), RYL_OK);
  Crc32Hash hash;
  hash.Add(reinterpret_cast<const uint8_t*>("stale"), 5);  // Initialize must drop this
  Digest8 out = kPoison;
  ASSERT_CODE(HashStreamContent(hash, source, out.data(), 8), RYL_OK);
  EXPECT_EQ(out, (Digest8{0x35, 0x24, 0x41, 0xC2, 0xEE, 0xEE, 0xEE, 0xEE}));
  uint64_t position = 0;
  ASSERT_CODE(source.Tell(&position), RYL_OK);
  EXPECT_EQ(position, 4u);
}

TEST(HashStreamContent, MatchesZlibAcrossManyBufferfuls) {
  Bytes data = test::MakeMixedData((1 << 20) + 12345, 31);
  streams::MemoryStream source(data.data(), static_cast<uint32_t>(data.size()), static_cast<uint32_t>(data.size()),
                          streams::MemoryStream::kReadOnly);
  Crc32Hash hash;
  Digest8 out = kPoison;
  ASSERT_CODE(HashStreamContent(hash, source, out.data(), 4), RYL_OK);
  const uint32_t expected = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  EXPECT_EQ(out[0], static_cast<uint8_t>(expected >> 24));
  EXPECT_EQ(out[3], static_cast<uint8_t>(expected));
}

TEST(HashStreamContent, ReadFailureIsPassedThroughWithoutADigest) {
  test::ScriptedSource source(test::MakeRandomData(50000, 32), 0x4000);
  source.failOnRead = 2;
  source.failure = RYL_E_ACCESS_DENIED;
  Crc32Hash hash;
  Digest8 out = kPoison;
  EXPECT_CODE(HashStreamContent(hash, source, out.data(), 4), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(out, kPoison);
}

TEST(HashStreamContent, TooSmallADigestBufferFailsBeforeReading) {
  test::ScriptedSource source(test::ToBytes("abc"), 100);
  Crc32Hash hash;
  Digest8 out = kPoison;
  EXPECT_CODE(HashStreamContent(hash, source, out.data(), 3), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(source.reads, 0);
  EXPECT_EQ(out, kPoison);
}

TEST(HashStreamContent, SourceThatSucceedsWithNothingCountsAsEnded) {
  test::ScriptedSource source(test::ToBytes("abc"), 2);
  source.endsQuietly = true;
  Crc32Hash hash;
  Digest8 out = kPoison;
  ASSERT_CODE(HashStreamContent(hash, source, out.data(), 4), RYL_OK);
  EXPECT_EQ(out[0], 0x35);
  EXPECT_EQ(source.reads, 3);
}

TEST(CrcSinkStream, ReadIsNotImplementedAndWritesFeedTheCrc) {
  CrcSinkStream sink;
  uint8_t byte = 0;
  uint32_t done = 0xDEADBEEF;
  EXPECT_CODE(sink.Read(&byte, 1, &done), RYL_E_NOT_IMPLEMENTED);
  EXPECT_EQ(done, 0xDEADBEEFu);

  ASSERT_CODE(sink.Write("", 0, &done), RYL_OK);
  EXPECT_EQ(done, 0u);
  ASSERT_CODE(sink.Write("a", 1, &done), RYL_OK);
  EXPECT_EQ(done, 1u);
  ASSERT_CODE(sink.Write("bc", 2, nullptr), RYL_OK);
  EXPECT_EQ(sink.crc().Get(), 0x352441C2u);

  uint32_t highest = 0;
  EXPECT_EQ(sink.Query(RYL_TYPE_SEEKABLE_STREAM, 1, &highest), static_cast<SeekableStream*>(&sink));
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(sink.Query(RYL_TYPE_SEEKABLE_STREAM, 2, &highest), nullptr);
  EXPECT_EQ(sink.Query(RYL_TYPE_PERSISTENT_STREAM, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
}

}  // namespace
}  // namespace ryl::codec
