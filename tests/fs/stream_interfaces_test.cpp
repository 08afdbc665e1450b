// The behaviour every positioned stream shares, the public HostStream face
// over the library's streams, and the adapter over a host's own stream.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/object_ptr.h"
#include "hoststreams/host_stream_base.h"
#include "streams/host_stream_adapter.h"
#include "streams/host_stream_wrapper.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"

namespace ryl::streams {
namespace {

core::ObjectPtr<MemoryStream> StreamWith(const char* text) {
  core::ObjectPtr<MemoryStream> stream(core::MakeObject<MemoryStream>());
  uint32_t done = 0;
  EXPECT_CODE(stream->Write(text, static_cast<uint32_t>(std::strlen(text)), &done), RYL_OK);
  return stream;
}

uint64_t PositionOf(SeekableStream* stream) {
  uint64_t position = 0xDEADBEEF;
  EXPECT_CODE(stream->Tell(&position), RYL_OK);
  return position;
}

TEST(PositionedStream, SeekRejectsUnknownOriginsAndNegativeTargetsKeepingThePosition) {
  auto stream = StreamWith("hello world");
  ASSERT_CODE(stream->Seek(4, RYL_SEEK_BEGIN), RYL_OK);
  EXPECT_CODE(stream->Seek(0, 3), RYL_E_INVALID_ARG);
  EXPECT_EQ(PositionOf(stream.get()), 4u);
  EXPECT_CODE(stream->Seek(-1, RYL_SEEK_BEGIN), RYL_E_INVALID_SEEK);
  EXPECT_EQ(PositionOf(stream.get()), 4u);
  EXPECT_CODE(stream->Seek(-5, RYL_SEEK_CURRENT), RYL_E_INVALID_SEEK);
  EXPECT_EQ(PositionOf(stream.get()), 4u);
  EXPECT_CODE(stream->Seek(INT64_MAX, RYL_SEEK_END), RYL_E_INVALID_SEEK);
  EXPECT_EQ(PositionOf(stream.get()), 4u);
  ASSERT_CODE(stream->Seek(0, RYL_SEEK_END), RYL_OK);
  EXPECT_EQ(PositionOf(stream.get()), 11u);
  ASSERT_CODE(stream->Seek(-3, RYL_SEEK_CURRENT), RYL_OK);
  EXPECT_EQ(PositionOf(stream.get()), 8u);
  // Beyond the end is a valid position; reading there finds no data.
  ASSERT_CODE(stream->Seek(100, RYL_SEEK_END), RYL_OK);
  char c;
  EXPECT_CODE(stream->Read(&c, 1, nullptr), RYL_E_END_OF_DATA);
}

TEST(PositionedStream, ReadAcrossTheEndReportsThePartOnlyWhenTheCountIsAsked) {
  auto stream = StreamWith("abcdef");
  ASSERT_CODE(stream->Seek(4, RYL_SEEK_BEGIN), RYL_OK);
  char buffer[8] = {};
  uint32_t done = 0xDEADBEEF;
  EXPECT_CODE(stream->Read(buffer, 8, &done), RYL_S_END_OF_DATA);
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_EQ(PositionOf(stream.get()), 6u);

  ASSERT_CODE(stream->Seek(4, RYL_SEEK_BEGIN), RYL_OK);
  EXPECT_CODE(stream->Read(buffer, 8, nullptr), RYL_E_END_OF_DATA);
  EXPECT_EQ(PositionOf(stream.get()), 4u);

  done = 0xDEADBEEF;
  EXPECT_CODE(stream->ReadAt(6, buffer, 1, &done), RYL_E_END_OF_DATA);
  EXPECT_EQ(done, 0u);
  EXPECT_CODE(stream->ReadAt(uint64_t{1} << 63, buffer, 1, &done), RYL_E_INVALID_ARG);
}

TEST(PositionedStream, WriteAdvancesAndGrowsWithZerosOverTheGap) {
  core::ObjectPtr<MemoryStream> stream(core::MakeObject<MemoryStream>());
  uint32_t done = 0;
  ASSERT_CODE(stream->WriteAt(5, "xy", 2, &done), RYL_OK);
  EXPECT_EQ(done, 2u);
  ASSERT_EQ(stream->size(), 7u);
  EXPECT_EQ(std::memcmp(stream->data(), "\0\0\0\0\0xy", 7), 0);
  ASSERT_CODE(stream->Write("ab", 2, nullptr), RYL_OK);
  EXPECT_EQ(PositionOf(stream.get()), 2u);
  EXPECT_EQ(std::memcmp(stream->data(), "ab\0\0\0xy", 7), 0);
  EXPECT_CODE(stream->WriteAt(0xFFFFFFFFu, "z", 1, &done), RYL_E_END_OF_DATA);
  EXPECT_CODE(stream->WriteAt(uint64_t{1} << 63, "z", 1, &done), RYL_E_END_OF_DATA);
  ASSERT_CODE(stream->SetSize(3), RYL_OK);
  uint64_t size = 0;
  ASSERT_CODE(stream->GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 3u);
  ASSERT_CODE(stream->SetSize(6), RYL_OK);
  EXPECT_EQ(std::memcmp(stream->data(), "ab\0\0\0\0", 6), 0);
}

TEST(MemoryStream, FixedMemoryNeverGrowsAndReadOnlyMemoryRefusesWrites) {
  char memory[8] = "abcd";
  core::ObjectPtr<MemoryStream> fixed(core::MakeObject<MemoryStream>(memory, 4, 8, 0));
  uint32_t done = 0;
  ASSERT_CODE(fixed->WriteAt(4, "efgh", 4, &done), RYL_OK);
  EXPECT_EQ(std::memcmp(memory, "abcdefgh", 8), 0);
  EXPECT_CODE(fixed->WriteAt(8, "i", 1, &done), RYL_E_BEYOND_END);
  EXPECT_CODE(fixed->SetSize(9), RYL_E_BEYOND_END);

  core::ObjectPtr<MemoryStream> readOnly(core::MakeObject<MemoryStream>(memory, 8, 8, MemoryStream::kReadOnly));
  EXPECT_CODE(readOnly->WriteAt(0, "z", 1, &done), RYL_E_ACCESS_DENIED);
  EXPECT_CODE(readOnly->SetSize(2), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(readOnly->CanWrite(), 0);
  EXPECT_EQ(memory[0], 'a');
}

TEST(MemoryStream, AnswersOnlyItsOwnInterfaceType) {
  auto stream = StreamWith("x");
  uint32_t highest = 0xDEADBEEF;
  EXPECT_EQ(stream->Query(RYL_TYPE_SEEKABLE_STREAM, 1, &highest), static_cast<SeekableStream*>(stream.get()));
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(stream->Query(RYL_TYPE_SEEKABLE_STREAM, 2, &highest), nullptr);
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(stream->Query(RYL_TYPE_PERSISTENT_STREAM, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
  EXPECT_EQ(stream->Query(RYL_TYPE_HANDLE_ACCESS, 1, &highest), nullptr);
}

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}
const RylReceiverCallbacks kStore = {1, StoreObject};

TEST(MemoryStream, MapCoversTheRestWhenLengthIsZeroAndPinsTheMemory) {
  auto stream = StreamWith("0123456789");
  void* object = nullptr;
  ObjectReceiver receiver = {&kStore, &object, 1, {nullptr, nullptr}};
  ASSERT_CODE(stream->Map(3, 0, &receiver, 0), RYL_OK);
  auto* view = static_cast<MappedView*>(object);
  uint32_t highest = 0;
  EXPECT_EQ(view->Query(RYL_TYPE_MAPPED_VIEW, 1, &highest), view);

  // The owned buffer cannot move while a view points into it.
  std::vector<char> big(4096, 'q');
  uint32_t done = 0;
  EXPECT_CODE(stream->WriteAt(10, big.data(), 4096, &done), RYL_E_INVALID_STATE);
  EXPECT_CODE(view->Release(), RYL_OK);
  EXPECT_CODE(stream->WriteAt(10, big.data(), 4096, &done), RYL_OK);

  EXPECT_CODE(stream->Map(4106, 0, &receiver, 0), RYL_E_END_OF_DATA);
  receiver.requestedVersion = 2;
  EXPECT_CODE(stream->Map(0, 0, &receiver, 0), RYL_E_INVALID_ARG);
}

TEST(MemoryStream, ReadOnlyStreamGivesOnlyReadOnlyViews) {
  char memory[4] = {1, 2, 3, 4};
  core::ObjectPtr<MemoryStream> stream(core::MakeObject<MemoryStream>(memory, 4, 4, MemoryStream::kReadOnly));
  void* object = nullptr;
  ObjectReceiver receiver = {&kStore, &object, 1, {nullptr, nullptr}};
  EXPECT_CODE(stream->Map(0, 0, &receiver, 0), RYL_E_ACCESS_DENIED);
  ASSERT_CODE(stream->Map(0, 0, &receiver, 1), RYL_OK);
  EXPECT_CODE(static_cast<MappedView*>(object)->Release(), RYL_OK);
}

TEST(HostStreamWrapper, ForwardsToTheInnerStreamAndWrapsItsViews) {
  HostStream* host = HostStreamWrapper::CreateOwning(StreamWith("payload").release());
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->IsOpen(), 1);
  EXPECT_EQ(host->Reserved2(), 1);
  EXPECT_EQ(host->Reserved3(), 1);
  uint64_t size = 0;
  ASSERT_CODE(host->GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 7u);
  ASSERT_CODE(host->Seek(3, RYL_SEEK_BEGIN), RYL_OK);
  char buffer[4] = {};
  uint32_t done = 0;
  ASSERT_CODE(host->Read(buffer, 4, &done), RYL_OK);
  EXPECT_EQ(std::string(buffer, 4), "load");

  HostMappedView* view = nullptr;
  ASSERT_CODE(host->Map(2, 3, &view, 1), RYL_OK);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(view->GetAddress()), view->GetLength()), "ylo");
  uint64_t offset = 0;
  ASSERT_CODE(view->GetOffset(&offset), RYL_OK);
  EXPECT_EQ(offset, 2u);
  view->Release();

  // Without a state part there is nothing to save.
  EXPECT_EQ(host->CanSaveState(0), 0);
  EXPECT_CODE(host->SaveState(host, nullptr), RYL_E_UNSUPPORTED_VERSION);
  host->Release();
}

// A host's own stream, recording which of its slots the library called.
class RecordingHostStream final : public host::HostStreamBase {
 public:
  std::vector<int> calls;
  void RYL_THISCALL Release() override { calls.push_back(0); }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return Call(4); }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return Call(5); }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override { return Call(6); }
  ResultCode RYL_THISCALL Write(const void*, uint32_t, uint32_t*) override { return Call(7); }
  ResultCode RYL_THISCALL Tell(uint64_t*) override { return Call(8); }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return Call(9); }
  ResultCode RYL_THISCALL GetSize(uint64_t*) override { return Call(10); }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return Call(11); }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return Call(13); }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return Call(14); }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override { return Call(15); }

 private:
  ResultCode Call(int slot) {
    calls.push_back(slot);
    return static_cast<ResultCode>(0x60010000u | static_cast<uint32_t>(slot));
  }
};

TEST(HostStreamAdapter, ForwardsEachOperationToTheHostSlotOneToOne) {
  RecordingHostStream host;
  HostStreamAdapter adapter(&host);
  char buffer[1];
  uint64_t value = 0;
  EXPECT_CODE(adapter.Read(buffer, 1, nullptr), static_cast<ResultCode>(0x60010005u));
  EXPECT_CODE(adapter.Write(buffer, 1, nullptr), static_cast<ResultCode>(0x60010007u));
  EXPECT_CODE(adapter.Tell(&value), static_cast<ResultCode>(0x60010008u));
  EXPECT_CODE(adapter.Seek(1, 0), static_cast<ResultCode>(0x60010009u));
  EXPECT_CODE(adapter.GetSize(&value), static_cast<ResultCode>(0x6001000Au));
  EXPECT_CODE(adapter.SetSize(1), static_cast<ResultCode>(0x6001000Bu));
  EXPECT_CODE(adapter.ReadAt(0, buffer, 1, nullptr), static_cast<ResultCode>(0x60010004u));
  EXPECT_CODE(adapter.WriteAt(0, buffer, 1, nullptr), static_cast<ResultCode>(0x60010006u));
  EXPECT_EQ(host.calls, (std::vector<int>{5, 7, 8, 9, 10, 11, 4, 6}));
  // The adapter never owns the host's stream.
  adapter.Dispose();
  EXPECT_EQ(host.calls.size(), 8u);
}

}  // namespace
}  // namespace ryl::streams

#include "streams/window_stream.h"

namespace ryl::streams {
namespace {

TEST(WindowStream, CutsReadsAndWritesToTheWindow) {
  auto source = StreamWith("0123456789");
  WindowStream window(source.get(), 3, 7);
  uint64_t size = 0;
  ASSERT_CODE(window.GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 4u);
  char buffer[8] = {};
  uint32_t done = 0;
  EXPECT_CODE(window.ReadAt(2, buffer, 8, &done), RYL_S_END_OF_DATA);
  EXPECT_EQ(std::string(buffer, done), "56");
  EXPECT_CODE(window.ReadAt(2, buffer, 8, nullptr), RYL_E_END_OF_DATA);
  EXPECT_CODE(window.ReadAt(4, buffer, 1, &done), RYL_E_END_OF_DATA);
  EXPECT_CODE(window.ReadAt(0, buffer, 0, &done), RYL_OK);
  EXPECT_EQ(done, 0u);
  EXPECT_CODE(window.ReadAt(uint64_t{1} << 63, buffer, 1, &done), RYL_E_INVALID_ARG);
  ASSERT_CODE(window.WriteAt(3, "XYZ", 3, &done), RYL_OK);
  EXPECT_EQ(done, 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(source->data()), 10), "012345X789");
  EXPECT_CODE(window.SetSize(1), RYL_E_NOT_IMPLEMENTED);
}

TEST(WindowStream, WindowBeyondTheSourceIsEmptyAndAnEndBelowTheStartIsRaised) {
  auto source = StreamWith("abc");
  WindowStream beyond(source.get(), 10, 20);
  uint64_t size = 1;
  ASSERT_CODE(beyond.GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 0u);
  WindowStream inverted(source.get(), 2, 1);
  ASSERT_CODE(inverted.GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 0u);
}

TEST(CopyStream, CopiesTheRestOfTheSourceAcrossBlockBoundaries) {
  core::ObjectPtr<MemoryStream> source(core::MakeObject<MemoryStream>());
  std::string data(10000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  uint32_t done = 0;
  ASSERT_CODE(source->WriteAt(0, data.data(), static_cast<uint32_t>(data.size()), &done), RYL_OK);
  ASSERT_CODE(source->Seek(100, RYL_SEEK_BEGIN), RYL_OK);
  core::ObjectPtr<MemoryStream> target(core::MakeObject<MemoryStream>());
  ASSERT_CODE(CopyStream(source.get(), target.get()), RYL_OK);
  ASSERT_EQ(target->size(), 9900u);
  EXPECT_EQ(std::memcmp(target->data(), data.data() + 100, 9900), 0);

  char fixed[10];
  core::ObjectPtr<MemoryStream> small(core::MakeObject<MemoryStream>(fixed, 0, sizeof fixed, 0));
  ASSERT_CODE(source->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  EXPECT_CODE(CopyStream(source.get(), small.get()), RYL_E_BEYOND_END);
}

}  // namespace
}  // namespace ryl::streams

// --- Ownership of a stream through its interface ------------------------------

#include "streams/owned_stream.h"
#include "streams/sequential_stream.h"

namespace ryl::streams {
namespace {

// A stream that only counts its own end, to see who ends it and when.
class CountedStream final : public SequentialStream<CountedStream> {
 public:
  explicit CountedStream(int* ended) noexcept : ended_(ended) {}
  ~CountedStream() { ++*ended_; }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Write(const void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  void RYL_THISCALL Dispose() override {}
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return 0; }

 private:
  int* ended_;
};

TEST(OwnedStream, EndsItsStreamOnceWhetherResetMovedOrDestroyed) {
  int ended = 0;
  {
    OwnedStream owner(core::MakeObject<CountedStream>(&ended));
    ASSERT_TRUE(owner);
    OwnedStream moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(ended, 0);
    moved.reset(core::MakeObject<CountedStream>(&ended));
    EXPECT_EQ(ended, 1);  // the first, replaced
    OwnedStream other(core::MakeObject<CountedStream>(&ended));
    other = std::move(moved);
    EXPECT_EQ(ended, 2);  // the one other held
  }
  EXPECT_EQ(ended, 3);

  OwnedStream kept(core::MakeObject<CountedStream>(&ended));
  SeekableStream* released = kept.release();
  kept.reset();
  EXPECT_EQ(ended, 3);  // released streams are the caller's
  released->Destroy(&core::kDefaultHeap);
  EXPECT_EQ(ended, 4);
}

TEST(SequentialStream, OffersNoneOfThePositionedOperations) {
  int ended = 0;
  OwnedStream stream(core::MakeObject<CountedStream>(&ended));
  uint64_t value = 0xDEADBEEF;
  uint32_t done = 0xDEADBEEF;
  char byte = 0;
  EXPECT_CODE(stream->Tell(&value), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream->GetSize(&value), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream->SetSize(0), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream->ReadAt(0, &byte, 1, &done), RYL_E_NOT_IMPLEMENTED);
  EXPECT_CODE(stream->WriteAt(0, &byte, 1, &done), RYL_E_NOT_IMPLEMENTED);
  EXPECT_EQ(value, 0xDEADBEEFu);
  EXPECT_EQ(done, 0xDEADBEEFu);
  EXPECT_EQ(stream->IsAsynchronous(), 0);
  uint32_t highest = 0;
  EXPECT_EQ(stream->Query(RYL_TYPE_SEEKABLE_STREAM, 1, &highest), stream.get());
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(stream->Query(RYL_TYPE_SEEKABLE_STREAM, 2, nullptr), nullptr);
}

}  // namespace
}  // namespace ryl::streams
