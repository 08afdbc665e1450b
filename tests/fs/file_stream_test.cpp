// FileStream on real files under Wine: opening rules, positioned reads at and
// across the end, mapped views that outlive their stream's changes, state
// export, and handles given back on every path.
#include "fs/file_stream.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/object_ptr.h"
#include "fs/file_mapped_view.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"
#include "support/temp_dir.h"

namespace ryl::fs {
namespace {

using test::TempDir;

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}
const RylReceiverCallbacks kStore = {1, StoreObject};

core::ObjectPtr<FileStream> OpenFile(const std::u16string& path, uint32_t disposition, uint32_t access,
                                     uint32_t share, ResultCode expected = RYL_OK) {
  core::ObjectPtr<FileStream> stream(core::MakeObject<FileStream>());
  EXPECT_CODE(stream->Open(path.c_str(), disposition, 0, access, share, 0), expected);
  return stream;
}

TEST(FileStream, OpenMissingFileFailsAndLeavesTheStreamClosed) {
  TempDir dir;
  auto stream = OpenFile(dir.File16(L"missing.bin"), kOpenExisting, kAccessRead, 1, RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(stream->IsOpen(), 0);
  auto inMissingDir = OpenFile(dir.File16(L"no\\such.bin"), kOpenExisting, kAccessRead, 1, RYL_E_PATH_NOT_FOUND);
  auto created = OpenFile(dir.File16(L"a.bin"), kCreateNew, kAccessRead | kAccessWrite, 1);
  EXPECT_EQ(created->IsOpen(), 1);
  auto again = OpenFile(dir.File16(L"a.bin"), kCreateNew, kAccessWrite, 1, RYL_E_ALREADY_EXISTS);
}

TEST(FileStream, AppendingOpenLacksWriteDataRight) {
  TempDir dir;
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"log.txt"), "start"));
  auto stream = OpenFile(dir.File16(L"log.txt"), kOpenOrCreateForAppend, kAccessWrite, 0);
  uint64_t handle = 0;
  ASSERT_CODE(stream->GetHandle(&handle), RYL_OK);
  struct {
    ULONG attributes;
    ACCESS_MASK granted;
    ULONG pad[12];
  } info{};
  ASSERT_EQ(NtQueryObject(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), ObjectBasicInformation, &info,
                          sizeof info, nullptr),
            0);
  EXPECT_EQ(info.granted & FILE_WRITE_DATA, 0u);
  EXPECT_NE(info.granted & FILE_APPEND_DATA, 0u);
}

TEST(FileStream, ReadsAtAndAcrossTheEnd) {
  TempDir dir;
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"data.bin"), "0123456789"));
  auto stream = OpenFile(dir.File16(L"data.bin"), kOpenExisting, kAccessRead, 1);
  char buffer[16] = {};
  uint32_t done = 0xDEADBEEF;
  EXPECT_CODE(stream->ReadAt(10, buffer, 1, &done), RYL_E_END_OF_DATA);
  EXPECT_EQ(done, 0u);
  EXPECT_CODE(stream->ReadAt(7, buffer, 8, &done), RYL_S_END_OF_DATA);
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_CODE(stream->ReadAt(7, buffer, 8, nullptr), RYL_E_END_OF_DATA);
  EXPECT_CODE(stream->ReadAt(uint64_t{1} << 63, buffer, 1, &done), RYL_E_INVALID_ARG);

  EXPECT_CODE(stream->Seek(-1, RYL_SEEK_BEGIN), RYL_E_INVALID_SEEK);
  uint64_t position = 1;
  ASSERT_CODE(stream->Tell(&position), RYL_OK);
  EXPECT_EQ(position, 0u);
  ASSERT_CODE(stream->Seek(0, RYL_SEEK_END), RYL_OK);
  ASSERT_CODE(stream->Tell(&position), RYL_OK);
  EXPECT_EQ(position, 10u);
  // Read-only and not shared for writing: the size is cached.
  EXPECT_TRUE(stream->size_cache_allowed());
}

TEST(FileStream, WritesExtendTheFileAndTheCachedSizeFollows) {
  TempDir dir;
  auto stream = OpenFile(dir.File16(L"out.bin"), kCreateOrTruncate, kAccessRead | kAccessWrite, 0);
  EXPECT_FALSE(stream->size_cache_allowed());
  uint32_t done = 0;
  ASSERT_CODE(stream->Write("hello", 5, &done), RYL_OK);
  ASSERT_CODE(stream->WriteAt(8, "!", 1, &done), RYL_OK);
  uint64_t size = 0;
  ASSERT_CODE(stream->GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 9u);
  ASSERT_CODE(stream->SetSize(3), RYL_OK);
  ASSERT_CODE(stream->Close(), RYL_OK);
  EXPECT_EQ(test::ReadWholeFile(dir.File(L"out.bin")), "hel");
  EXPECT_CODE(stream->ReadAt(0, &done, 1, nullptr), RYL_E_INVALID_HANDLE);
  EXPECT_CODE(stream->GetHandle(reinterpret_cast<uint64_t*>(&size)), RYL_E_INVALID_HANDLE);
}

TEST(FileStream, AnswersItsThreeInterfacesBelowVersionTwo) {
  TempDir dir;
  auto stream = OpenFile(dir.File16(L"q.bin"), kCreateNew, kAccessWrite, 0);
  uint32_t highest = 0;
  auto* persistent = static_cast<PersistentStream*>(stream->Query(RYL_TYPE_PERSISTENT_STREAM, 1, &highest));
  ASSERT_NE(persistent, nullptr);
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(stream->Query(RYL_TYPE_PERSISTENT_STREAM, 2, &highest), nullptr);
  EXPECT_EQ(highest, 1u);
  auto* handles = static_cast<HandleAccess*>(persistent->Query(RYL_TYPE_HANDLE_ACCESS, 1, &highest));
  ASSERT_NE(handles, nullptr);
  EXPECT_CODE(handles->Unsupported(), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(handles->Query(RYL_TYPE_SEEKABLE_STREAM, 1, nullptr), static_cast<SeekableStream*>(stream.get()));
  EXPECT_EQ(stream->Query(RYL_TYPE_MAPPED_VIEW, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
}

TEST(FileStream, MapOfLengthZeroCoversTheWholeFileAndViewsOutliveSetSizeAndClose) {
  TempDir dir;
  std::string content(1 << 20, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + (i >> 12));
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"big.bin"), content));
  auto stream = OpenFile(dir.File16(L"big.bin"), kOpenExisting, kAccessRead | kAccessWrite, 0);

  void* object = nullptr;
  ObjectReceiver receiver = {&kStore, &object, 1, {nullptr, nullptr}};
  ASSERT_CODE(stream->Map(0, 0, &receiver, 1), RYL_OK);
  auto* whole = static_cast<FileMappedView*>(static_cast<MappedView*>(object));
  EXPECT_EQ(whole->length(), 1u << 20);
  EXPECT_TRUE(whole->reaches_end());
  EXPECT_EQ(std::memcmp(whole->address(), content.data(), content.size()), 0);

  ASSERT_CODE(stream->Map(70000, 100, &receiver, 0), RYL_OK);
  auto* part = static_cast<FileMappedView*>(static_cast<MappedView*>(object));
  EXPECT_EQ(part->length(), 100u);
  EXPECT_FALSE(part->reaches_end());
  EXPECT_EQ(std::memcmp(part->address(), content.data() + 70000, 100), 0);
  std::memcpy(part->address(), "MAPPED", 6);
  EXPECT_EQ(stream->open_views(), 2u);

  EXPECT_CODE(stream->Map(1 << 20, 0, &receiver, 1), RYL_E_END_OF_DATA);
  receiver.requestedVersion = 2;
  EXPECT_CODE(stream->Map(0, 0, &receiver, 1), RYL_E_INVALID_ARG);

  ASSERT_CODE(stream->SetSize(1 << 21), RYL_OK);
  EXPECT_EQ(std::memcmp(whole->address(), content.data(), 100), 0);
  ASSERT_CODE(stream->Close(), RYL_OK);
  EXPECT_EQ(std::memcmp(part->address(), "MAPPED", 6), 0);
  EXPECT_CODE(part->Release(), RYL_OK);
  EXPECT_CODE(whole->Release(), RYL_OK);
  EXPECT_EQ(test::ReadWholeFile(dir.File(L"big.bin")).substr(70000, 6), "MAPPED");
}

TEST(FileStream, ViewsSurviveTheStreamItself) {
  TempDir dir;
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"v.bin"), std::string(5000, 'v')));
  auto stream = OpenFile(dir.File16(L"v.bin"), kOpenExisting, kAccessRead, 1);
  void* object = nullptr;
  ObjectReceiver receiver = {&kStore, &object, 1, {nullptr, nullptr}};
  ASSERT_CODE(stream->Map(10, 20, &receiver, 1), RYL_OK);
  stream.reset();
  auto* view = static_cast<FileMappedView*>(static_cast<MappedView*>(object));
  EXPECT_EQ(static_cast<char*>(view->address())[0], 'v');
  EXPECT_CODE(view->Release(), RYL_OK);
}

// Hands handles over by duplicating them, as a process that takes a stream
// over would receive them.
class DuplicatingMarshaller final : public RylHandleMarshaller {
 public:
  std::vector<uint64_t> handles;
  size_t next = 0;
  void RYL_THISCALL Reserved0() override {}
  void RYL_THISCALL Reserved1() override {}
  ResultCode RYL_THISCALL GetNextHandle(uint64_t* out) override {
    if (next >= handles.size()) return RYL_E_NO_MORE_ITEMS;
    *out = handles[next++];
    return RYL_OK;
  }
  void RYL_THISCALL Reserved3() override {}
  ResultCode RYL_THISCALL AddHandle(uint64_t handle) override {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)),
                         GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      return RYL_E_INVALID_HANDLE;
    }
    handles.push_back(reinterpret_cast<uintptr_t>(copy));
    return RYL_OK;
  }
};

TEST(FileStream, ExportedStateLoadsIntoAStreamThatReadsTheSameFile) {
  TempDir dir;
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"s.bin"), "state of the art"));
  auto stream = OpenFile(dir.File16(L"s.bin"), kOpenExisting, kAccessRead, 1);
  core::ObjectPtr<streams::MemoryStream> state(core::MakeObject<streams::MemoryStream>());
  DuplicatingMarshaller marshaller;
  ASSERT_EQ(stream->CanSaveState(0), 1);
  ASSERT_CODE(stream->SaveState(state.get(), &marshaller), RYL_OK);
  ASSERT_EQ(marshaller.handles.size(), 1u);
  EXPECT_EQ(state->data()[0], 4);  // the FileStream marker

  core::ObjectPtr<FileStream> loaded(core::MakeObject<FileStream>());
  ASSERT_CODE(state->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  ASSERT_CODE(loaded->LoadState(state.get(), &marshaller), RYL_OK);
  char buffer[5] = {};
  uint32_t done = 0;
  ASSERT_CODE(loaded->ReadAt(9, buffer, 3, &done), RYL_OK);
  EXPECT_EQ(std::string(buffer, 3), "the");

  // A flag byte that is neither 0 nor 1 is refused and changes nothing.
  std::vector<uint8_t> bad(state->data(), state->data() + state->size());
  bad[2] = 7;
  core::ObjectPtr<streams::MemoryStream> badState(
      core::MakeObject<streams::MemoryStream>(bad.data(), static_cast<uint32_t>(bad.size()), static_cast<uint32_t>(bad.size()),
                                     streams::MemoryStream::kReadOnly));
  EXPECT_CODE(loaded->LoadState(badState.get(), &marshaller), RYL_E_INVALID_DATA);
  EXPECT_EQ(loaded->IsOpen(), 1);
}

TEST(FileStream, GivesBackEveryHandleOnSuccessAndFailure) {
  TempDir dir;
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"h.bin"), std::string(100000, 'h')));
  const unsigned long before = test::ProcessHandleCount();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 50; ++i) {
    auto ok = OpenFile(dir.File16(L"h.bin"), kOpenExisting, kAccessRead, 1);
    void* object = nullptr;
    ObjectReceiver receiver = {&kStore, &object, 1, {nullptr, nullptr}};
    ASSERT_CODE(ok->Map(0, 0, &receiver, 1), RYL_OK);
    EXPECT_CODE(static_cast<MappedView*>(object)->Release(), RYL_OK);
    EXPECT_CODE(ok->Map(100000, 0, &receiver, 1), RYL_E_END_OF_DATA);
    auto missing = OpenFile(dir.File16(L"none.bin"), kOpenExisting, kAccessRead, 1, RYL_E_FILE_NOT_FOUND);
    auto exists = OpenFile(dir.File16(L"h.bin"), kCreateNew, kAccessWrite, 0, RYL_E_ALREADY_EXISTS);
  }
  EXPECT_EQ(test::ProcessHandleCount(), before);
}

}  // namespace
}  // namespace ryl::fs
