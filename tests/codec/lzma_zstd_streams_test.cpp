// The LZMA, xz and zstd streams against liblzma and libzstd as the reference
// encoders: ZIP's LZMA form with and without its end marker and with its
// header split across reads, xz streams, zstd data of several frames whose
// boundary falls where the source's reads end, and the damaged, truncated
// and oversized inputs each must refuse.
#include <gtest/gtest.h>
#include <lzma.h>
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <string>
#include <vector>

#include "codec/lzma_stream.h"
#include "codec/zstd_stream.h"
#include "core/object_ptr.h"
#include "support/result_matchers.h"
#include "test_data.h"
#include "test_streams.h"

namespace ryl::codec {
namespace {

using test::Bytes;
using test::ScriptedSink;
using test::ScriptedSource;

// ZIP's LZMA: version bytes, properties length 5, the properties, then raw
// LZMA1 data, ending in the end marker only when eos is set.
Bytes ZipLzma(const Bytes& plain, bool eos, uint32_t dictSize = 1u << 20) {
  lzma_options_lzma options;
  EXPECT_FALSE(lzma_lzma_preset(&options, 6));
  options.dict_size = dictSize;
  options.ext_flags = eos ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
  options.ext_size_low = static_cast<uint32_t>(plain.size());
  options.ext_size_high = 0;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  uint32_t propsSize = 0;
  EXPECT_EQ(lzma_properties_size(&propsSize, filters), LZMA_OK);
  Bytes out = {9, 20, 5, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(lzma_properties_encode(filters, out.data() + 4), LZMA_OK);
  size_t pos = out.size();
  out.resize(out.size() + plain.size() + plain.size() / 2 + 1024);
  EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, plain.data(), plain.size(), out.data(), &pos, out.size()),
            LZMA_OK);
  out.resize(pos);
  return out;
}

Bytes Xz(const Bytes& plain) {
  Bytes out(plain.size() + plain.size() / 2 + 1024);
  size_t pos = 0;
  EXPECT_EQ(lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, plain.data(), plain.size(), out.data(), &pos,
                                    out.size()),
            LZMA_OK);
  out.resize(pos);
  return out;
}

Bytes Zstd(const Bytes& plain, int level, int windowLog = 0, bool contentSize = true) {
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level);
  if (windowLog != 0) ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, windowLog);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, contentSize ? 1 : 0);
  Bytes out(ZSTD_compressBound(plain.size()) + 64);
  size_t n = 0;
  if (windowLog == 0) {
    n = ZSTD_compress2(cctx, out.data(), out.size(), plain.data(), plain.size());
  } else {
    // Streamed, so that libzstd does not know the size and shrink the
    // window to it.
    ZSTD_inBuffer in = {plain.data(), plain.size(), 0};
    ZSTD_outBuffer o = {out.data(), out.size(), 0};
    EXPECT_FALSE(ZSTD_isError(ZSTD_compressStream2(cctx, &o, &in, ZSTD_e_continue)));
    EXPECT_EQ(ZSTD_compressStream2(cctx, &o, &in, ZSTD_e_end), 0u);
    n = o.pos;
  }
  EXPECT_FALSE(ZSTD_isError(n));
  ZSTD_freeCCtx(cctx);
  out.resize(ZSTD_isError(n) ? 0 : n);
  return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Decoded {
  ResultCode code = RYL_OK;
  Bytes data;
};

// Reads with outDone until the stream ends, as the ZIP reader does.
template <typename Stream>
Decoded Drain(Stream& stream) {
  Decoded result;
  uint8_t buffer[7000];
  for (;;) {
    uint32_t done = 0;
    const ResultCode rc = stream.Read(buffer, sizeof buffer, &done);
    result.data.insert(result.data.end(), buffer, buffer + done);
    if (rc < 0) {
      result.code = rc;
      break;
    }
    if (done == 0) break;
  }
  return result;
}

Decoded DecodeLzma(const Bytes& stored, sys::RylLzmaFormat format, uint64_t size, uint32_t chunk,
                   bool endMarker = false) {
  ScriptedSource source(stored, chunk);
  core::ObjectPtr<LzmaStream> stream(core::MakeObject<LzmaStream>());
  Decoded result;
  result.code = stream->Initialize(&source, format, size, endMarker, 4096);
  if (result.code < 0) return result;
  return Drain(*stream);
}

Decoded DecodeZstd(const Bytes& stored, uint32_t chunk, uint32_t bufferSize = 4096) {
  ScriptedSource source(stored, chunk);
  core::ObjectPtr<ZstdStream> stream(core::MakeObject<ZstdStream>());
  Decoded result;
  result.code = stream->Initialize(&source, false, bufferSize, 0);
  if (result.code < 0) return result;
  return Drain(*stream);
}

TEST(LzmaStream, ZipLzmaDecodesWithAndWithoutItsEndMarkerAtEveryChunking) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{70000}}) {
    const Bytes plain = test::MakeMixedData(size, static_cast<uint32_t>(size) + 3);
    for (bool eos : {false, true}) {
      const Bytes stored = ZipLzma(plain, eos);
      for (uint32_t chunk : {1u, 3u, 9u, 10u, 4096u}) {
        SCOPED_TRACE(testing::Message() << "size " << size << " eos " << eos << " chunk " << chunk);
        const Decoded got = DecodeLzma(stored, sys::RylLzmaFormat::kZipLzma, size, chunk, eos);
        EXPECT_TRUE(got.code == RYL_OK || got.code == RYL_E_END_OF_DATA) << std::hex << got.code;
        EXPECT_EQ(got.data, plain);
      }
      if (eos) {
        // With the marker the size need not be known.
        const Decoded got = DecodeLzma(stored, sys::RylLzmaFormat::kZipLzma, UINT64_MAX, 4096, true);
        EXPECT_EQ(got.data, plain) << size;
        // A marker the flag does not announce is tolerated after the last
        // byte, however the input is split.
        for (uint32_t chunk : {1u, 2u, 9u, 4096u, 65536u}) {
          const Decoded unannounced = DecodeLzma(stored, sys::RylLzmaFormat::kZipLzma, size, chunk, false);
          EXPECT_TRUE(unannounced.code == RYL_OK || unannounced.code == RYL_E_END_OF_DATA)
              << size << " / " << chunk << ": " << std::hex << unannounced.code;
          EXPECT_EQ(unannounced.data, plain) << size << " / " << chunk;
        }
      }
    }
  }
}

TEST(LzmaStream, DamagedTruncatedAndOversizedInputIsRefused) {
  const Bytes plain = test::MakeMixedData(50000, 9);
  const Bytes stored = ZipLzma(plain, false);
  struct Case {
    const char* what;
    Bytes stored;
    uint64_t size;
    ResultCode code;
  };
  Bytes wrongPropsLength = stored;
  wrongPropsLength[2] = 6;
  Bytes badProperties = stored;
  badProperties[4] = 225;  // lc/lp/pb beyond 9*5*5
  Bytes flipped = stored;
  flipped[stored.size() / 2] ^= 0x10;
  Bytes hugeDictionary = ZipLzma(Bytes(10, 'a'), true);
  hugeDictionary[5] = hugeDictionary[6] = hugeDictionary[7] = hugeDictionary[8] = 0xFF;  // 4 GiB
  const Case cases[] = {
      {"header cut short", Bytes(stored.begin(), stored.begin() + 6), plain.size(), RYL_E_UNEXPECTED_END},
      {"data cut short", Bytes(stored.begin(), stored.end() - 20), plain.size(), RYL_E_UNEXPECTED_END},
      {"properties length 6", wrongPropsLength, plain.size(), RYL_E_BAD_FORMAT},
      {"impossible properties", badProperties, plain.size(), RYL_E_BAD_FORMAT},
      {"flipped bit", flipped, plain.size(), RYL_E_BAD_FORMAT},
      {"no marker and no size", stored, UINT64_MAX, RYL_E_UNEXPECTED_END},
      {"4 GiB dictionary, size unknown", hugeDictionary, UINT64_MAX, RYL_E_OUT_OF_MEMORY},
      {"announced marker missing", stored, plain.size(), RYL_E_UNEXPECTED_END},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool marker = std::string(c.what) == "announced marker missing";
    const Decoded got = DecodeLzma(c.stored, sys::RylLzmaFormat::kZipLzma, c.size, 4096, marker);
    EXPECT_CODE(got.code, c.code);
  }
  // A known size bounds the dictionary: the same 4 GiB request decodes.
  const Decoded bounded = DecodeLzma(hugeDictionary, sys::RylLzmaFormat::kZipLzma, 10, 4096);
  EXPECT_EQ(bounded.data, Bytes(10, 'a'));
  // A flipped bit may still decode; it must never decode to the plain data.
  const Decoded damaged = DecodeLzma(flipped, sys::RylLzmaFormat::kZipLzma, plain.size(), 4096);
  EXPECT_NE(damaged.data, plain);
}

TEST(LzmaStream, XzStreamsDecodeAndTheirChecksCatchDamage) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{200000}}) {
    const Bytes plain = test::MakeMixedData(size, 77);
    const Bytes stored = Xz(plain);
    for (uint32_t chunk : {1u, 12u, 4096u}) {
      const Decoded got = DecodeLzma(stored, sys::RylLzmaFormat::kXz, size, chunk);
      EXPECT_EQ(got.data, plain) << size << " / " << chunk;
    }
    Bytes truncated(stored.begin(), stored.end() - 1);
    EXPECT_CODE(DecodeLzma(truncated, sys::RylLzmaFormat::kXz, size, 4096).code, RYL_E_UNEXPECTED_END);
    Bytes badCheck = stored;
    badCheck[stored.size() - 13] ^= 1;  // in the index or the footer's CRC32
    EXPECT_CODE(DecodeLzma(badCheck, sys::RylLzmaFormat::kXz, size, 4096).code, RYL_E_BAD_FORMAT);
  }
  EXPECT_CODE(DecodeLzma(test::ToBytes("not xz at all"), sys::RylLzmaFormat::kXz, 13, 4096).code,
              RYL_E_BAD_FORMAT);
}

TEST(ZstdStream, FramesDecodeWhereverTheSourceSplitsThem) {
  const Bytes a = test::MakeMixedData(30000, 1);
  const Bytes b = test::MakeMixedData(5000, 2);
  const Bytes first = Zstd(a, 3);
  const Bytes both = Concat(first, Zstd(b, 19));
  const Bytes plain = Concat(a, b);
  // Chunks that end exactly at the first frame's end, and around it: the
  // decoder then has no input left and only the source can say whether a
  // second frame follows.
  const uint32_t boundary = static_cast<uint32_t>(first.size());
  for (uint32_t chunk : {1u, 7u, boundary - 1, boundary, boundary + 1, 4096u}) {
    for (uint32_t buffer : {boundary, 4096u, 131072u}) {
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << " buffer " << buffer);
      const Decoded got = DecodeZstd(both, chunk, buffer);
      EXPECT_TRUE(got.code == RYL_OK || got.code == RYL_E_END_OF_DATA) << std::hex << got.code;
      EXPECT_EQ(got.data, plain);
    }
  }
  EXPECT_EQ(DecodeZstd(Zstd(Bytes(), 3), 4096).data, Bytes());
}

TEST(ZstdStream, DamagedTruncatedAndOversizedFramesAreRefused) {
  const Bytes plain = test::MakeMixedData(100000, 5);
  const Bytes stored = Zstd(plain, 5);
  Bytes flipped = stored;
  flipped[stored.size() / 2] ^= 0x40;
  Bytes trailing = Concat(stored, test::ToBytes("garbage after the frame"));
  // A frame that names a 256 MiB window (no content size to shrink it).
  const Bytes wide = Zstd(Bytes(1000, 'w'), 1, 28, false);
  struct Case {
    const char* what;
    Bytes stored;
    ResultCode code;
  };
  const Case cases[] = {
      {"truncated", Bytes(stored.begin(), stored.end() - 3), RYL_E_UNEXPECTED_END},
      {"header only", Bytes(stored.begin(), stored.begin() + 4), RYL_E_UNEXPECTED_END},
      {"not zstd", test::ToBytes("plain text, no magic"), RYL_E_BAD_FORMAT},
      {"garbage after the frame", trailing, RYL_E_BAD_FORMAT},
      {"window above the limit", wide, RYL_E_OUT_OF_MEMORY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_CODE(DecodeZstd(c.stored, 4096).code, c.code);
  }
  const Decoded damaged = DecodeZstd(flipped, 4096);
  EXPECT_TRUE(damaged.code < 0 || damaged.data != plain);
}

TEST(ZstdStream, CompressesWhatLibzstdDecodesAtEveryLevelBoundary) {
  const Bytes plain = test::MakeMixedData(300000, 11);
  for (int level : {1, 3, 19, 22}) {
    ScriptedSink sink;
    core::ObjectPtr<ZstdStream> stream(core::MakeObject<ZstdStream>());
    ASSERT_CODE(stream->Initialize(&sink, true, ZstdStream::kArchiveBufferSize, level), RYL_OK);
    ASSERT_CODE(stream->Write(plain.data(), static_cast<uint32_t>(plain.size()), nullptr), RYL_OK);
    ASSERT_CODE(stream->Close(), RYL_OK);
    Bytes back(plain.size() + 1);
    const size_t n = ZSTD_decompress(back.data(), back.size(), sink.written.data(), sink.written.size());
    ASSERT_FALSE(ZSTD_isError(n)) << level;
    back.resize(n);
    EXPECT_EQ(back, plain) << level;
    // Without a size the top levels would ask for a 128 MiB window (and
    // tables several times that); the compressor keeps to 16 MiB.
    ZSTD_frameHeader frame;
    ASSERT_EQ(ZSTD_getFrameHeader(&frame, sink.written.data(), sink.written.size()), 0u);
    EXPECT_LE(frame.windowSize, 1ull << 24) << level;
  }
  // With the size known, libzstd sizes its window to the data.
  ScriptedSink hinted;
  core::ObjectPtr<ZstdStream> small(core::MakeObject<ZstdStream>());
  ASSERT_CODE(small->Initialize(&hinted, true, 4096, 22, 5000), RYL_OK);
  const Bytes few = test::MakeMixedData(5000, 4);
  ASSERT_CODE(small->Write(few.data(), static_cast<uint32_t>(few.size()), nullptr), RYL_OK);
  ASSERT_CODE(small->Close(), RYL_OK);
  ZSTD_frameHeader frame;
  ASSERT_EQ(ZSTD_getFrameHeader(&frame, hinted.written.data(), hinted.written.size()), 0u);
  EXPECT_LE(frame.windowSize, 8192u);
  core::ObjectPtr<ZstdStream> stream(core::MakeObject<ZstdStream>());
  ScriptedSink sink;
  EXPECT_CODE(stream->Initialize(&sink, true, 4096, 23), RYL_E_INVALID_ARG);
  EXPECT_CODE(stream->Initialize(&sink, true, 4096, 0), RYL_E_INVALID_ARG);
}

}  // namespace
}  // namespace ryl::codec
