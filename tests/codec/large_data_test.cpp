// 64 MiB of mixed text and random data through both codecs. Kept in a suite
// of its own so that a quick run can leave it out: --gtest_filter=-SixtyFourMiB.*
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "codec/bzip2_stream.h"
#include "codec/deflate_stream.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"
#include "test_data.h"

namespace ryl::codec {
namespace {

constexpr size_t kSize = size_t{64} << 20;

const test::Bytes& Data() {
  static const test::Bytes data = test::MakeMixedData(kSize, 64);
  return data;
}

template <typename Stream, typename Init>
void RoundTrip(Init init) {
  const test::Bytes& data = Data();
  streams::MemoryStream packed;
  {
    Stream writer;
    ASSERT_CODE(init(writer, &packed, true), RYL_OK);
    // Writes of a mebibyte, as a copy loop would make them.
    for (size_t at = 0; at < data.size(); at += 1 << 20) {
      ASSERT_CODE(writer.Write(data.data() + at, static_cast<uint32_t>(std::min<size_t>(1 << 20, data.size() - at)),
                               nullptr),
                  RYL_OK);
    }
    ASSERT_CODE(writer.Close(), RYL_OK);
  }
  EXPECT_LT(packed.size(), data.size());
  ASSERT_CODE(packed.Seek(0, RYL_SEEK_BEGIN), RYL_OK);

  Stream reader;
  ASSERT_CODE(init(reader, &packed, false), RYL_OK);
  test::Bytes out(data.size());
  size_t at = 0;
  ResultCode rc = RYL_OK;
  while (rc == RYL_OK) {
    uint32_t produced = 0;
    const size_t room = std::min<size_t>(65536, out.size() - at);
    if (room == 0) {
      uint8_t extra = 0;
      rc = reader.Read(&extra, 1, &produced);
      break;
    }
    rc = reader.Read(out.data() + at, static_cast<uint32_t>(room), &produced);
    if (rc == RYL_OK) at += produced;
  }
  EXPECT_CODE(rc, RYL_E_END_OF_DATA);
  ASSERT_EQ(at, data.size());
  EXPECT_EQ(std::memcmp(out.data(), data.data(), data.size()), 0);
  EXPECT_EQ(crc32(0, out.data(), static_cast<uInt>(out.size())), crc32(0, data.data(), static_cast<uInt>(data.size())));
}

TEST(SixtyFourMiB, DeflateRoundTripOfMixedTextAndRandomData) {
  RoundTrip<DeflateStream>([](DeflateStream& s, SeekableStream* target, bool compress) {
    return s.Initialize(target, compress, 6, DeflateStream::kArchiveBufferSize);
  });
}

TEST(SixtyFourMiB, Bzip2RoundTripOfMixedTextAndRandomData) {
  RoundTrip<Bzip2Stream>([](Bzip2Stream& s, SeekableStream* target, bool compress) {
    return s.Initialize(target, compress, Bzip2Stream::kArchiveBufferSize, 9);
  });
}

}  // namespace
}  // namespace ryl::codec
