// Extracting one entry from hand-made archives, against zlib and libbz2 as
// the reference encoders: data that ends near the codecs' buffer sizes,
// data that decodes past its stated size, and the version gate's reading of
// the version field.
#include <bzlib.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "archive/archive_model.h"
#include "archive/zip_records.h"
#include "archive_test_support.h"
#include "core/object_ptr.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;
using test::Le16;
using test::Le32;

Bytes RawDeflate(const Bytes& plain, int level) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&z, plain.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Bytes Bzip2(const Bytes& plain, int blockSize) {
  Bytes out(plain.size() + plain.size() / 100 + 600, '\0');
  auto length = static_cast<unsigned int>(out.size());
  EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(plain.data()),
                                     static_cast<unsigned int>(plain.size()), blockSize, 0, 0),
            BZ_OK);
  out.resize(length);
  return out;
}

struct EntryLayout {
  uint16_t versionNeeded = 20;
  uint16_t method = kMethodDeflate;
  Bytes data;              // as stored
  uint32_t crc = 0;
  uint32_t uncompressedSize = 0;
};

// One entry, its local header, its central header and the end record.
Bytes ArchiveWith(const EntryLayout& e) {
  const Bytes name = "e.bin";
  const auto stored = static_cast<uint32_t>(e.data.size());
  const Bytes fields = Le16(0) + Le16(e.method) + Le16(0x6000) + Le16(0x2821) + Le32(e.crc) + Le32(stored) +
                       Le32(e.uncompressedSize) + Le16(static_cast<uint16_t>(name.size())) + Le16(0);
  const Bytes local = Le32(kLocalHeaderSignature) + Le16(e.versionNeeded) + fields + name + e.data;
  const Bytes central = Le32(kCentralHeaderSignature) + Le16(0x0314) + Le16(e.versionNeeded) + fields + Le16(0) +
                        Le16(0) + Le16(0) + Le32(0) + Le32(0) + name;
  return local + central + test::EndRecordBytes(1, static_cast<uint32_t>(central.size()),
                                                static_cast<uint32_t>(local.size()));
}

struct Extracted {
  ResultCode code = RYL_OK;
  Bytes data;  // what reached the destination
};

Extracted Extract(const Bytes& archive) {
  auto stream = test::StreamOver(archive);
  ArchiveModel model;
  EXPECT_CODE(model.AttachBorrowed(stream.get()), RYL_OK);
  Extracted result;
  if (model.entries().size() != 1) {
    ADD_FAILURE() << "the entry is not listed";
    return result;
  }
  EntryRecord& entry = *model.entries()[0];
  core::ObjectPtr<streams::MemoryStream> sink(core::MakeObject<streams::MemoryStream>());
  result.code = entry.OpenData();
  if (result.code >= 0) result.code = entry.CopyDataTo(sink.get());
  entry.CloseData();
  result.data.assign(reinterpret_cast<const char*>(sink->data()), sink->size());
  return result;
}

EntryLayout Deflated(const Bytes& plain, int level) {
  return {20, kMethodDeflate, RawDeflate(plain, level), test::Crc32(plain), static_cast<uint32_t>(plain.size())};
}

// Sizes next to the 16, 32, 64 and 256 KiB that the codecs and the copy
// buffer work in: zlib can take its last input and still hold a pending
// match when the output it was given is full.
TEST(EntryExtraction, DataEndingNearTheBufferSizesDecodesWhole) {
  std::vector<size_t> sizes;
  for (size_t base : {16384u, 32768u, 65536u, 262144u}) {
    for (size_t d = 0; d <= 80; ++d) sizes.push_back(base + d - 16);
  }
  for (size_t size : sizes) {
    for (char fill : {'\0', 'q'}) {
      const Bytes plain(size, fill);
      for (int level : {1, 6, 9}) {
        const Extracted got = Extract(ArchiveWith(Deflated(plain, level)));
        ASSERT_CODE(got.code, RYL_OK) << "deflate " << size << " level " << level;
        ASSERT_EQ(got.data, plain) << "deflate " << size << " level " << level;
      }
    }
    if (size % 8 != 0) continue;  // bzip2 costs more; every eighth size
    const Bytes plain(size, '\0');
    const EntryLayout bz{46, kMethodBzip2, Bzip2(plain, 1), test::Crc32(plain), static_cast<uint32_t>(size)};
    const Extracted got = Extract(ArchiveWith(bz));
    ASSERT_CODE(got.code, RYL_OK) << "bzip2 " << size;
    ASSERT_EQ(got.data, plain) << "bzip2 " << size;
  }
}

TEST(EntryExtraction, DataBeyondTheStatedSizeNeverReachesTheDestination) {
  const Bytes plain(4 << 20, '\0');  // 4 MiB of zeros deflate to about 4 KiB
  struct Case {
    const char* what;
    uint32_t stated;
    uint16_t method;
    ResultCode code;
  };
  const Case cases[] = {
      {"stated 10 bytes", 10, kMethodDeflate, RYL_E_BAD_FORMAT},
      {"stated one byte short", (4 << 20) - 1, kMethodDeflate, RYL_E_BAD_FORMAT},
      {"stated zero", 0, kMethodDeflate, RYL_E_BAD_FORMAT},
      {"stated exactly", 4 << 20, kMethodDeflate, RYL_OK},
      {"stated one byte more", (4 << 20) + 1, kMethodDeflate, RYL_E_BAD_FORMAT},
      {"bzip2 stated 10 bytes", 10, kMethodBzip2, RYL_E_BAD_FORMAT},
      {"stored, stated 10 bytes", 10, kMethodStored, RYL_E_BAD_FORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EntryLayout layout = Deflated(plain, 6);
    if (c.method == kMethodBzip2) layout = {46, kMethodBzip2, Bzip2(plain, 9), layout.crc, 0};
    if (c.method == kMethodStored) layout = {10, kMethodStored, Bytes(5000, '\0'), test::Crc32(Bytes(5000, '\0')), 0};
    layout.uncompressedSize = c.stated;
    const Extracted got = Extract(ArchiveWith(layout));
    EXPECT_CODE(got.code, c.code);
    EXPECT_LE(got.data.size(), c.stated);
  }
}

TEST(EntryExtraction, TheVersionGateReadsTheVersionByteOnly) {
  const Bytes plain = "version gate\n";
  for (uint16_t version : {0x0014, 0x0314, 0x0A14, 0x032D, 0x0B2E, 0x0315, 0x0333, 0x0015}) {
    SCOPED_TRACE(version);
    EntryLayout layout = Deflated(plain, 6);
    layout.versionNeeded = version;
    const Extracted got = Extract(ArchiveWith(layout));
    const uint16_t low = version & 0xFF;
    if (low <= 20 || low == 45 || low == 46) {
      EXPECT_CODE(got.code, RYL_OK);
      EXPECT_EQ(got.data, plain);
    } else {
      EXPECT_CODE(got.code, RYL_E_ENTRY_UNSUPPORTED);
      EXPECT_TRUE(got.data.empty());
    }
  }
}

}  // namespace
}  // namespace ryl::archive
