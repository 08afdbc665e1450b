// DeflateStream and Bzip2Stream: round trips against the reference codecs,
// the end-of-data rules, and failures of the stream on the other side.
#include <gtest/gtest.h>

#include "codec/bzip2_stream.h"
#include "codec/deflate_stream.h"
#include "core/object_ptr.h"
#include "streams/memory_stream.h"
#include "support/default_heap.h"
#include "support/result_matchers.h"
#include "test_data.h"
#include "test_streams.h"

namespace ryl::codec {
namespace {

using test::Bytes;
using test::ScriptedSink;
using test::ScriptedSource;

ResultCode Init(DeflateStream& s, SeekableStream* target, bool compress, uint32_t bufferSize, int level = 6) {
  return s.Initialize(target, compress, level, bufferSize);
}
ResultCode Init(Bzip2Stream& s, SeekableStream* target, bool compress, uint32_t bufferSize, int level = 9) {
  return s.Initialize(target, compress, bufferSize, static_cast<uint8_t>(level));
}

Bytes Reference(const DeflateStream*, const Bytes& data) { return test::ZlibRawDeflate(data, 6); }
Bytes Reference(const Bzip2Stream*, const Bytes& data) { return test::Bz2Compress(data, 9); }
Bytes Decode(const DeflateStream*, const Bytes& data, bool* ok) { return test::ZlibRawInflate(data, ok); }
Bytes Decode(const Bzip2Stream*, const Bytes& data, bool* ok) { return test::Bz2Decompress(data, ok); }

template <typename Stream>
class CodecStreamTest : public ::testing::Test {
 protected:
  static constexpr Stream* kTag = nullptr;

  // Compresses through the stream, writeChunk bytes per write.
  Bytes Compress(const Bytes& data, uint32_t bufferSize, size_t writeChunk) {
    ScriptedSink sink;
    Stream stream;
    EXPECT_CODE(Init(stream, &sink, true, bufferSize), RYL_OK);
    for (size_t at = 0; at < data.size(); at += writeChunk) {
      const auto n = static_cast<uint32_t>(std::min(writeChunk, data.size() - at));
      uint32_t consumed = 0xDEADBEEF;
      EXPECT_CODE(stream.Write(data.data() + at, n, &consumed), RYL_OK);
      EXPECT_EQ(consumed, n);
    }
    EXPECT_CODE(stream.Close(), RYL_OK);
    return sink.written;
  }

  // Decompresses through the stream until it reports the end; *last gets
  // the code that ended it.
  Bytes Decompress(const Bytes& packed, uint32_t bufferSize, uint32_t sourceChunk, uint32_t readChunk,
                   ResultCode* last) {
    ScriptedSource source(packed, sourceChunk);
    Stream stream;
    EXPECT_CODE(Init(stream, &source, false, bufferSize), RYL_OK);
    Bytes out;
    Bytes chunk(readChunk);
    for (;;) {
      uint32_t produced = 0xDEADBEEF;
      const ResultCode rc = stream.Read(chunk.data(), readChunk, &produced);
      if (rc != RYL_OK) {
        *last = rc;
        break;
      }
      EXPECT_GT(produced, 0u);
      EXPECT_LE(produced, readChunk);
      out.insert(out.end(), chunk.begin(), chunk.begin() + produced);
    }
    return out;
  }
};
using Streams = ::testing::Types<DeflateStream, Bzip2Stream>;
TYPED_TEST_SUITE(CodecStreamTest, Streams);

TYPED_TEST(CodecStreamTest, RoundTripsTheBoundarySizes) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{1} << 20}) {
    SCOPED_TRACE(::testing::Message() << "size " << size);
    const Bytes data = test::MakeMixedData(size, static_cast<uint32_t>(size) + 1);
    const Bytes packed = this->Compress(data, TypeParam::kArchiveBufferSize, 10000);
    bool ok = false;
    EXPECT_EQ(Decode(this->kTag, packed, &ok), data);
    EXPECT_TRUE(ok);
    ResultCode last = RYL_OK;
    EXPECT_EQ(this->Decompress(Reference(this->kTag, data), TypeParam::kArchiveBufferSize, 65536, 65536, &last),
              data);
    EXPECT_CODE(last, RYL_E_END_OF_DATA);
  }
}

TYPED_TEST(CodecStreamTest, TinyBuffersAndOddChunksGiveTheSameBytes) {
  const Bytes data = test::MakeMixedData(70000, 41);
  const Bytes reference = Reference(this->kTag, data);
  for (uint32_t bufferSize : {1u, 7u, 4096u}) {
    SCOPED_TRACE(::testing::Message() << "buffer " << bufferSize);
    EXPECT_EQ(this->Compress(data, bufferSize, 777), reference);
    for (uint32_t readChunk : {1u, 13u, 65536u}) {
      ResultCode last = RYL_OK;
      EXPECT_EQ(this->Decompress(reference, bufferSize, 5, readChunk, &last), data) << "read chunk " << readChunk;
      EXPECT_CODE(last, RYL_E_END_OF_DATA);
    }
  }
}

TYPED_TEST(CodecStreamTest, LengthZeroReturnsAtOnceAndTouchesNothing) {
  ScriptedSource source(Reference(this->kTag, test::ToBytes("abc")), 100);
  TypeParam reader;
  ASSERT_CODE(Init(reader, &source, false, 64), RYL_OK);
  uint32_t produced = 0xDEADBEEF;
  EXPECT_CODE(reader.Read(nullptr, 0, &produced), RYL_OK);
  EXPECT_EQ(produced, 0xDEADBEEFu);
  EXPECT_EQ(source.reads, 0);

  ScriptedSink sink;
  TypeParam writer;
  ASSERT_CODE(Init(writer, &sink, true, 64), RYL_OK);
  uint32_t consumed = 0xDEADBEEF;
  EXPECT_CODE(writer.Write(nullptr, 0, &consumed), RYL_OK);
  EXPECT_EQ(consumed, 0xDEADBEEFu);
  EXPECT_EQ(sink.writes, 0);
}

TYPED_TEST(CodecStreamTest, SourceEndingAtTheEndMarkerGivesDataThenEndOfData) {
  const Bytes data = test::ToBytes("exactly this and nothing more");
  ScriptedSource source(Reference(this->kTag, data), 1000);
  TypeParam stream;
  ASSERT_CODE(Init(stream, &source, false, 4096), RYL_OK);
  Bytes out(100, 0xEE);
  uint32_t produced = 0;
  ASSERT_CODE(stream.Read(out.data(), 100, &produced), RYL_OK);
  ASSERT_EQ(produced, data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  produced = 0xDEADBEEF;
  EXPECT_CODE(stream.Read(out.data(), 100, &produced), RYL_E_END_OF_DATA);
  EXPECT_EQ(produced, 0xDEADBEEFu);
  EXPECT_CODE(stream.Read(out.data(), 100, &produced), RYL_E_END_OF_DATA);
}

TYPED_TEST(CodecStreamTest, TruncatedSourceIsUnexpectedEnd) {
  const Bytes data = test::MakeMixedData(20000, 42);
  const Bytes packed = Reference(this->kTag, data);
  for (size_t keep : {size_t{0}, size_t{1}, packed.size() / 2, packed.size() - 1}) {
    SCOPED_TRACE(::testing::Message() << "keep " << keep << " of " << packed.size());
    ResultCode last = RYL_OK;
    const Bytes out = this->Decompress(Bytes(packed.begin(), packed.begin() + keep), 512, 512, 4096, &last);
    EXPECT_CODE(last, RYL_E_UNEXPECTED_END);
    // What came out before the source ran dry is still the data.
    ASSERT_LE(out.size(), data.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
  }
}

TYPED_TEST(CodecStreamTest, BytesAfterTheEndMarkerAreTrailingData) {
  const Bytes data = test::MakeMixedData(3000, 43);
  Bytes packed = Reference(this->kTag, data);
  packed.insert(packed.end(), {'j', 'u', 'n', 'k'});
  ResultCode last = RYL_OK;
  EXPECT_EQ(this->Decompress(packed, 65536, 65536, 1000, &last), data);
  EXPECT_CODE(last, RYL_E_TRAILING_DATA);

  // Read without a count: exactly the data, then the trailing bytes show.
  ScriptedSource source(packed, 65536);
  TypeParam stream;
  ASSERT_CODE(Init(stream, &source, false, 65536), RYL_OK);
  Bytes out(data.size());
  ASSERT_CODE(stream.Read(out.data(), static_cast<uint32_t>(out.size()), nullptr), RYL_OK);
  EXPECT_EQ(out, data);
  uint8_t more[16];
  EXPECT_CODE(stream.Read(more, sizeof more, nullptr), RYL_E_TRAILING_DATA);
}

TYPED_TEST(CodecStreamTest, ReadWithoutACountFillsTheWholeLength) {
  const Bytes data = test::MakeMixedData(50000, 44);
  ScriptedSource source(Reference(this->kTag, data), 300);
  TypeParam stream;
  ASSERT_CODE(Init(stream, &source, false, 100), RYL_OK);
  Bytes out(data.size());
  ASSERT_CODE(stream.Read(out.data(), 30000, nullptr), RYL_OK);
  ASSERT_CODE(stream.Read(out.data() + 30000, 20000, nullptr), RYL_OK);
  EXPECT_EQ(out, data);
  uint8_t more = 0;
  EXPECT_CODE(stream.Read(&more, 1, nullptr), RYL_E_END_OF_DATA);
}

TYPED_TEST(CodecStreamTest, ClosingWithoutInputStillWritesTheEndOfStream) {
  ScriptedSink sink;
  TypeParam stream;
  ASSERT_CODE(Init(stream, &sink, true, 4096), RYL_OK);
  ASSERT_CODE(stream.Close(), RYL_OK);
  EXPECT_EQ(sink.written, Reference(this->kTag, Bytes{}));
  EXPECT_FALSE(sink.written.empty());
  // A second close has nothing left to do.
  const int writes = sink.writes;
  EXPECT_CODE(stream.Close(), RYL_OK);
  EXPECT_EQ(sink.writes, writes);
}

TYPED_TEST(CodecStreamTest, InitializeRefusesASecondTimeTheStreamItselfAndAZeroBuffer) {
  ScriptedSink sink;
  TypeParam stream;
  EXPECT_CODE(Init(stream, &sink, true, 0), RYL_E_INVALID_ARG);
  EXPECT_CODE(Init(stream, &stream, true, 64), RYL_E_INVALID_ARG);
  EXPECT_CODE(Init(stream, nullptr, true, 64), RYL_E_INVALID_ARG);
  EXPECT_CODE(Init(stream, &sink, true, 64, 10), RYL_E_INVALID_ARG);  // the codec refuses the level
  EXPECT_FALSE(stream.initialized());
  ASSERT_CODE(Init(stream, &sink, true, 64), RYL_OK);
  EXPECT_CODE(Init(stream, &sink, false, 64), RYL_E_INVALID_ARG);
  EXPECT_TRUE(stream.compressing());
}

TYPED_TEST(CodecStreamTest, EachDirectionRefusesTheOtherAndAClosedStreamRefusesBoth) {
  ScriptedSink sink;
  TypeParam writer;
  ASSERT_CODE(Init(writer, &sink, true, 64), RYL_OK);
  uint8_t byte = 0;
  EXPECT_CODE(writer.Read(&byte, 1, nullptr), RYL_E_INVALID_STATE);
  ASSERT_CODE(writer.Close(), RYL_OK);
  EXPECT_CODE(writer.Write("x", 1, nullptr), RYL_E_INVALID_STATE);
  EXPECT_EQ(writer.IsOpen(), 0);

  ScriptedSource source(Reference(this->kTag, test::ToBytes("x")), 64);
  TypeParam reader;
  ASSERT_CODE(Init(reader, &source, false, 64), RYL_OK);
  EXPECT_CODE(reader.Write("x", 1, nullptr), RYL_E_INVALID_STATE);
  EXPECT_EQ(reader.CanRead(), 1);
  EXPECT_CODE(reader.Close(), RYL_OK);
  EXPECT_CODE(reader.Close(), RYL_OK);
  EXPECT_CODE(reader.Read(&byte, 1, nullptr), RYL_E_INVALID_STATE);
}

TYPED_TEST(CodecStreamTest, SourceFailuresPassThroughAndCorruptDataIsBadFormat) {
  const Bytes packed = Reference(this->kTag, test::MakeRandomData(20000, 45));
  ScriptedSource failing(packed, 1000);
  failing.failOnRead = 3;
  TypeParam stream;
  ASSERT_CODE(Init(stream, &failing, false, 1000), RYL_OK);
  Bytes out(100000);
  EXPECT_CODE(stream.Read(out.data(), static_cast<uint32_t>(out.size()), nullptr), RYL_E_ACCESS_DENIED);

  Bytes corrupt = packed;
  for (size_t i = 0; i < corrupt.size(); i += 5) corrupt[i] ^= 0xA5;
  ResultCode last = RYL_OK;
  (void)this->Decompress(corrupt, 4096, 4096, 4096, &last);
  EXPECT_CODE(last, RYL_E_BAD_FORMAT);
}

TYPED_TEST(CodecStreamTest, SourceThatSucceedsWithNothingIsUnexpectedEndNotAHang) {
  const Bytes packed = Reference(this->kTag, test::MakeMixedData(5000, 46));
  ScriptedSource source(Bytes(packed.begin(), packed.begin() + packed.size() / 2), 100);
  source.endsQuietly = true;
  TypeParam stream;
  ASSERT_CODE(Init(stream, &source, false, 100), RYL_OK);
  Bytes out(5000);
  EXPECT_CODE(stream.Read(out.data(), 5000, nullptr), RYL_E_UNEXPECTED_END);
}

TYPED_TEST(CodecStreamTest, TargetWriteFailuresPassThroughAndCloseCanBeRetried) {
  const Bytes data = test::MakeRandomData(300000, 47);
  ScriptedSink sink;
  sink.failOnWrite = 2;
  TypeParam stream;
  ASSERT_CODE(Init(stream, &sink, true, 1024, 1), RYL_OK);
  // Random data fills the buffer many times over (bzip2 at level 1 emits a
  // block per 100 000 bytes): the second write to the target fails.
  EXPECT_CODE(stream.Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_E_ACCESS_DENIED);

  ScriptedSink closing;
  TypeParam again;
  ASSERT_CODE(Init(again, &closing, true, 1 << 20), RYL_OK);
  ASSERT_CODE(again.Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
  closing.failAll = true;
  EXPECT_CODE(again.Close(), RYL_E_ACCESS_DENIED);
  EXPECT_TRUE(again.initialized());
  closing.failAll = false;
  ASSERT_CODE(again.Close(), RYL_OK);
  bool ok = false;
  EXPECT_EQ(Decode(this->kTag, closing.written, &ok), data);
  EXPECT_TRUE(ok);
}

TYPED_TEST(CodecStreamTest, PartialTargetWritesAreCompletedAndANonTakingTargetFails) {
  const Bytes data = test::MakeMixedData(30000, 48);
  ScriptedSink partial;
  partial.maxPerWrite = 10;
  TypeParam stream;
  ASSERT_CODE(Init(stream, &partial, true, 512), RYL_OK);
  ASSERT_CODE(stream.Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
  ASSERT_CODE(stream.Close(), RYL_OK);
  EXPECT_EQ(partial.written, Reference(this->kTag, data));

  ScriptedSink stuck;
  stuck.takesNothing = true;
  TypeParam blocked;
  ASSERT_CODE(Init(blocked, &stuck, true, 512), RYL_OK);
  EXPECT_CODE(blocked.Close(), RYL_E_INVALID_STATE);
}

TYPED_TEST(CodecStreamTest, DestroyingAnUnclosedCompressorStillFinishesTheData) {
  const Bytes data = test::MakeMixedData(9000, 49);
  streams::MemoryStream target;
  core::ObjectPtr<TypeParam> stream(core::MakeObject<TypeParam>());
  ASSERT_TRUE(stream);
  ASSERT_CODE(Init(*stream, &target, true, 4096), RYL_OK);
  ASSERT_CODE(stream->Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
  stream.release()->Destroy(&test::kDefaultHeap);
  bool ok = false;
  EXPECT_EQ(Decode(this->kTag, Bytes(target.data(), target.data() + target.size()), &ok), data);
  EXPECT_TRUE(ok);
}

TYPED_TEST(CodecStreamTest, AnswersOnlyTheStreamTypeAndOffersNoPositioning) {
  ScriptedSink sink;
  TypeParam stream;
  uint32_t highest = 0xDEADBEEF;
  EXPECT_EQ(stream.Query(RYL_TYPE_SEEKABLE_STREAM, 1, &highest), static_cast<SeekableStream*>(&stream));
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(stream.Query(RYL_TYPE_SEEKABLE_STREAM, 2, &highest), nullptr);
  EXPECT_EQ(stream.Query(RYL_TYPE_PERSISTENT_STREAM, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
  uint64_t position = 0;
  EXPECT_CODE(stream.Tell(&position), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream.Seek(0, RYL_SEEK_BEGIN), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream.GetSize(&position), RYL_E_NOT_IMPLEMENTED);
}

}  // namespace
}  // namespace ryl::codec
