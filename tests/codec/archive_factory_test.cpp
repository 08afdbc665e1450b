// The archive factory and its deflate streams as a host reaches them: root
// slot 4 through the DLL's exports, a host stream of the test's own.
#include <gtest/gtest.h>

#include "hoststreams/memory_host_stream.h"
#include "support/archive_fixture.h"
#include "support/dll_host.h"
#include "support/result_matchers.h"
#include "test_data.h"

namespace ryl::test {
namespace {

using MemoryHostStream = host::MemoryHostStream<Bytes>;

struct CountingAllocator {
  int allocations = 0;
  int frees = 0;
  static ResultCode RYL_CDECL Allocate(void** out, uint32_t size, void* context) {
    ++static_cast<CountingAllocator*>(context)->allocations;
    *out = HeapAlloc(GetProcessHeap(), 0, size);
    return *out ? RYL_OK : RYL_E_OUT_OF_MEMORY;
  }
  static void RYL_CDECL Free(void* p, void* context) {
    ++static_cast<CountingAllocator*>(context)->frees;
    HeapFree(GetProcessHeap(), 0, p);
  }
};
const RylAllocatorCallbacks kCountingAllocator = {1, &CountingAllocator::Free, &CountingAllocator::Allocate};

class ArchiveFactoryTest : public ArchiveTest {
 protected:
  HostDeflateStream* Create(HostStream* host, bool compress, int32_t level = 6, uint32_t bufferSize = 32768) {
    HostDeflateStream* stream = nullptr;
    EXPECT_CODE(factory_->CreateDeflateStream(&stream, host, compress ? 1 : 0, level, bufferSize), RYL_OK);
    return stream;
  }

  Bytes CompressThroughHost(const Bytes& data, uint32_t bufferSize, size_t chunk) {
    MemoryHostStream host;
    HostDeflateStream* stream = Create(&host, true, 6, bufferSize);
    if (stream == nullptr) return {};
    for (size_t at = 0; at < data.size(); at += chunk) {
      const auto n = static_cast<uint32_t>(std::min(chunk, data.size() - at));
      uint32_t consumed = 0;
      EXPECT_CODE(stream->Write(data.data() + at, n, &consumed), RYL_OK);
      EXPECT_EQ(consumed, n);
    }
    EXPECT_CODE(stream->Finish(), RYL_OK);
    stream->Release();
    return host.data;
  }

  Bytes DecompressThroughHost(const Bytes& packed, uint32_t bufferSize, ResultCode* last) {
    MemoryHostStream host(packed);
    HostDeflateStream* stream = Create(&host, false, 0, bufferSize);
    Bytes out;
    if (stream == nullptr) return out;
    uint8_t chunk[8192];
    for (;;) {
      uint32_t produced = 0;
      const ResultCode rc = stream->Read(chunk, sizeof chunk, &produced);
      if (rc != RYL_OK) {
        *last = rc;
        break;
      }
      out.insert(out.end(), chunk, chunk + produced);
    }
    stream->Release();
    return out;
  }
};

TEST_F(ArchiveFactoryTest, FactoryAnswersTypeTwoAtVersionOne) {
  uint32_t highest = 0xDEADBEEF;
  EXPECT_EQ(factory_->Query(RYL_TYPE_ARCHIVE_FACTORY, 1, &highest), factory_);
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(factory_->Query(RYL_TYPE_ARCHIVE_FACTORY, 2, &highest), nullptr);
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(factory_->Query(RYL_TYPE_ROOT_FACTORY, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
  EXPECT_EQ(factory_->Query(RYL_TYPE_ARCHIVE_FACTORY, 0, nullptr), factory_);
}

TEST_F(ArchiveFactoryTest, FactoryLivesOnTheDefaultHeapWhateverTheReceiversAllocator) {
  CountingAllocator allocator;
  StoringReceiver receiver(1, &kCountingAllocator, &allocator);
  ASSERT_CODE(root_->CreateArchiveFactory(&receiver.record), RYL_OK);
  auto* second = static_cast<ArchiveFactory*>(receiver.object);
  EXPECT_NE(second, factory_);
  EXPECT_EQ(allocator.allocations, 0);
  // A host that hands its allocator back must not get the block.
  second->Destroy(&receiver.record.allocator);
  EXPECT_EQ(allocator.frees, 0);
}

TEST_F(ArchiveFactoryTest, RefusedDeliveryReturnsItsCode) {
  StoringReceiver receiver(1);
  receiver.deliverResult = RYL_E_INVALID_ARG;
  EXPECT_CODE(root_->CreateArchiveFactory(&receiver.record), RYL_E_INVALID_ARG);
  EXPECT_EQ(receiver.deliveries, 1);
  StoringReceiver tooNew(2);
  EXPECT_CODE(root_->CreateArchiveFactory(&tooNew.record), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(tooNew.deliveries, 0);
}

TEST_F(ArchiveFactoryTest, CreateZipServiceDeliversAServiceAndTheReservedSlotIsNotOffered) {
  ZipService* service = reinterpret_cast<ZipService*>(0xDEADBEEF);
  ASSERT_CODE(factory_->CreateZipService(&service), RYL_OK);
  ASSERT_NE(service, reinterpret_cast<ZipService*>(0xDEADBEEF));
  ASSERT_NE(service, nullptr);
  EXPECT_CODE(service->Reserved8(), RYL_E_NOT_IMPLEMENTED);
  service->Release();
  EXPECT_CODE(factory_->CreateZipService(nullptr), RYL_E_INVALID_ARG);
  EXPECT_CODE(factory_->Reserved4(), RYL_E_NOT_IMPLEMENTED);
}

TEST_F(ArchiveFactoryTest, CreateDeflateStreamRefusesBadArgumentsAndLeavesTheOutputAlone) {
  MemoryHostStream host;
  HostDeflateStream* untouched = reinterpret_cast<HostDeflateStream*>(0xDEADBEEF);
  EXPECT_CODE(factory_->CreateDeflateStream(&untouched, &host, 1, 6, 0), RYL_E_INVALID_ARG);
  EXPECT_CODE(factory_->CreateDeflateStream(&untouched, nullptr, 1, 6, 4096), RYL_E_INVALID_ARG);
  EXPECT_CODE(factory_->CreateDeflateStream(nullptr, &host, 1, 6, 4096), RYL_E_INVALID_ARG);
  EXPECT_CODE(factory_->CreateDeflateStream(&untouched, &host, 1, 42, 4096), RYL_E_INVALID_ARG);
  EXPECT_EQ(untouched, reinterpret_cast<HostDeflateStream*>(0xDEADBEEF));
  EXPECT_EQ(host.reads + host.writes, 0);
}

TEST_F(ArchiveFactoryTest, CompressedThroughTheHostStreamAndBackAtTheBoundarySizes) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{1} << 20}) {
    SCOPED_TRACE(::testing::Message() << "size " << size);
    const Bytes data = MakeMixedData(size, static_cast<uint32_t>(size) + 100);
    const Bytes packed = CompressThroughHost(data, 32768, 3000);
    EXPECT_EQ(packed, ZlibRawDeflate(data, 6));
    ResultCode last = RYL_OK;
    EXPECT_EQ(DecompressThroughHost(packed, 32768, &last), data);
    EXPECT_CODE(last, RYL_E_END_OF_DATA);
  }
}

TEST_F(ArchiveFactoryTest, EmptyInputStillWritesTheEndOfStream) {
  const Bytes packed = CompressThroughHost({}, 4096, 1);
  EXPECT_EQ(packed, (Bytes{0x03, 0x00}));
}

TEST_F(ArchiveFactoryTest, TruncatedAndTrailingSourcesAreReported) {
  const Bytes data = MakeMixedData(40000, 51);
  Bytes packed = ZlibRawDeflate(data, 6);
  ResultCode last = RYL_OK;
  (void)DecompressThroughHost(Bytes(packed.begin(), packed.end() - 3), 4096, &last);
  EXPECT_CODE(last, RYL_E_UNEXPECTED_END);
  packed.push_back(0);
  EXPECT_EQ(DecompressThroughHost(packed, 65536, &last), data);
  EXPECT_CODE(last, RYL_E_TRAILING_DATA);
}

TEST_F(ArchiveFactoryTest, PositionalAndStateOperationsAreUnsupported) {
  MemoryHostStream host;
  HostDeflateStream* stream = Create(&host, true);
  ASSERT_NE(stream, nullptr);
  uint8_t buffer[4] = {};
  uint32_t done = 0xDEADBEEF;
  uint64_t value = 0xDEADBEEF;
  HostMappedView* view = reinterpret_cast<HostMappedView*>(0xDEADBEEF);
  EXPECT_EQ(stream->IsOpen(), 1);
  EXPECT_EQ(stream->Reserved2(), 1);
  EXPECT_EQ(stream->Reserved3(), 1);
  EXPECT_CODE(stream->ReadAt(0, buffer, 4, &done), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->WriteAt(0, buffer, 4, &done), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->Tell(&value), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->GetSize(&value), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->SetSize(0), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(stream->CanSaveState(0), 0);
  EXPECT_CODE(stream->SaveState(&host, nullptr), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->LoadState(&host, nullptr), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(stream->Map(0, 0, &view, 1), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(done, 0xDEADBEEFu);
  EXPECT_EQ(value, 0xDEADBEEFu);
  EXPECT_EQ(view, reinterpret_cast<HostMappedView*>(0xDEADBEEF));
  stream->Release();
}

TEST_F(ArchiveFactoryTest, FinishTwiceWritesTheEndOnceAndFinishOnAReaderIsZero) {
  MemoryHostStream host;
  HostDeflateStream* writer = Create(&host, true);
  ASSERT_NE(writer, nullptr);
  ASSERT_CODE(writer->Write("abcabcabc", 9, nullptr), RYL_OK);
  ASSERT_CODE(writer->Finish(), RYL_OK);
  const Bytes afterFirst = host.data;
  const int writes = host.writes;
  EXPECT_CODE(writer->Finish(), RYL_OK);
  EXPECT_EQ(host.writes, writes);
  EXPECT_EQ(host.data, afterFirst);
  writer->Release();
  EXPECT_EQ(host.data, ZlibRawDeflate(ToBytes("abcabcabc"), 6));

  MemoryHostStream source(afterFirst);
  HostDeflateStream* reader = Create(&source, false);
  ASSERT_NE(reader, nullptr);
  EXPECT_CODE(reader->Finish(), RYL_OK);
  EXPECT_CODE(reader->Finish(), RYL_OK);
  reader->Release();
}

TEST_F(ArchiveFactoryTest, ReleaseWithoutFinishStillCompletesTheData) {
  const Bytes data = MakeMixedData(100000, 52);
  MemoryHostStream host;
  HostDeflateStream* writer = Create(&host, true, 9, 1000);
  ASSERT_NE(writer, nullptr);
  ASSERT_CODE(writer->Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
  writer->Release();
  bool ok = false;
  EXPECT_EQ(ZlibRawInflate(host.data, &ok), data);
  EXPECT_TRUE(ok);
}

TEST_F(ArchiveFactoryTest, FinishReportsTheHostsWriteFailureAndCanBeRetried) {
  const Bytes data = MakeMixedData(5000, 53);
  MemoryHostStream host;
  HostDeflateStream* writer = Create(&host, true);
  ASSERT_NE(writer, nullptr);
  ASSERT_CODE(writer->Write(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
  host.writeFailure = RYL_E_ACCESS_DENIED;
  EXPECT_CODE(writer->Finish(), RYL_E_ACCESS_DENIED);
  host.writeFailure = RYL_OK;
  ASSERT_CODE(writer->Finish(), RYL_OK);
  writer->Release();
  bool ok = false;
  EXPECT_EQ(ZlibRawInflate(host.data, &ok), data);
  EXPECT_TRUE(ok);
}

TEST_F(ArchiveFactoryTest, LengthZeroReadsAndWritesTouchNothing) {
  MemoryHostStream host;
  HostDeflateStream* writer = Create(&host, true);
  ASSERT_NE(writer, nullptr);
  uint32_t done = 0xDEADBEEF;
  EXPECT_CODE(writer->Write(nullptr, 0, &done), RYL_OK);
  EXPECT_EQ(done, 0xDEADBEEFu);
  writer->Release();
  MemoryHostStream source(ZlibRawDeflate(ToBytes("x"), 6));
  HostDeflateStream* reader = Create(&source, false);
  ASSERT_NE(reader, nullptr);
  EXPECT_CODE(reader->Read(nullptr, 0, &done), RYL_OK);
  EXPECT_EQ(done, 0xDEADBEEFu);
  EXPECT_EQ(source.reads, 0);
  reader->Release();
}

TEST_F(ArchiveFactoryTest, HeldAsAHostStreamItsFirstSixteenSlotsStillWork) {
  const Bytes data = MakeMixedData(20000, 54);
  MemoryHostStream host;
  HostDeflateStream* writer = Create(&host, true);
  ASSERT_NE(writer, nullptr);
  auto* asHost = reinterpret_cast<HostStream*>(writer);
  uint32_t consumed = 0;
  ASSERT_CODE(asHost->Write(data.data(), static_cast<uint32_t>(data.size()), &consumed), RYL_OK);
  EXPECT_EQ(consumed, data.size());
  uint64_t position = 0;
  EXPECT_CODE(asHost->Tell(&position), RYL_E_UNSUPPORTED_VERSION);
  ASSERT_CODE(writer->Finish(), RYL_OK);
  asHost->Release();
  EXPECT_EQ(host.data, ZlibRawDeflate(data, 6));
}

}  // namespace
}  // namespace ryl::test
