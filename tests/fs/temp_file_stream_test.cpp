// Temporary files: unique names in the temporary directory, gone unless
// kept, and kept files that replace their target in one rename.
#include "fs/temp_file_stream.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/object_ptr.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"
#include "support/temp_dir.h"

namespace ryl::fs {
namespace {

using test::TempDir;

// Points TMP at the test's directory for the test's life.
class TempDirectoryOverride {
 public:
  explicit TempDirectoryOverride(const std::wstring& dir) {
    wchar_t old[1024];
    const DWORD n = GetEnvironmentVariableW(L"TMP", old, 1024);
    hadOld_ = n > 0 && n < 1024;
    if (hadOld_) old_.assign(old, n);
    SetEnvironmentVariableW(L"TMP", dir.c_str());
  }
  ~TempDirectoryOverride() { SetEnvironmentVariableW(L"TMP", hadOld_ ? old_.c_str() : nullptr); }

 private:
  bool hadOld_ = false;
  std::wstring old_;
};

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(TempFileStream, CreatesAUniquelyNamedEmptyFileThatVanishesUnlessKept) {
  TempDir dir;
  TempDirectoryOverride tmp(dir.path());
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);
  const std::wstring path = Wide(stream->path());
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  ASSERT_EQ(name.size(), 44u);
  EXPECT_EQ(name.substr(0, 4), L"vqz-");
  EXPECT_EQ(name.substr(40), L".tmp");
  EXPECT_EQ(path.substr(0, dir.path().size()), dir.path());
  EXPECT_TRUE(Exists(path));
  uint64_t size = 1;
  ASSERT_CODE(stream->GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 0u);
  uint32_t done = 0;
  ASSERT_CODE(stream->Write("scratch", 7, &done), RYL_OK);

  core::ObjectPtr<TempFileStream> other(core::MakeObject<TempFileStream>());
  ASSERT_CODE(other->Create(), RYL_OK);
  EXPECT_NE(other->path(), stream->path());

  stream.reset();
  EXPECT_FALSE(Exists(path));
}

TEST(TempFileStream, KeepReplacesTheTargetAndClearsTheTemporaryAttribute) {
  TempDir dir;
  TempDirectoryOverride tmp(dir.path());
  ASSERT_TRUE(test::WriteWholeFile(dir.File(L"target.bin"), "old contents"));
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);
  const std::wstring tempPath = Wide(stream->path());
  uint32_t done = 0;
  ASSERT_CODE(stream->Write("new", 3, &done), RYL_OK);
  ASSERT_CODE(stream->Keep(dir.File16(L"target.bin").c_str()), RYL_OK);
  EXPECT_TRUE(stream->kept());
  // Still open and usable under its new name.
  ASSERT_CODE(stream->Write("er", 2, &done), RYL_OK);
  stream.reset();
  EXPECT_FALSE(Exists(tempPath));
  EXPECT_EQ(test::ReadWholeFile(dir.File(L"target.bin")), "newer");
  EXPECT_EQ(GetFileAttributesW(dir.File(L"target.bin").c_str()) & FILE_ATTRIBUTE_TEMPORARY, 0u);
}

TEST(TempFileStream, FailedKeepLeavesTheTemporaryFileOpenWritableAndDeleteOnClose) {
  TempDir dir;
  TempDirectoryOverride tmp(dir.path());
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);
  const std::wstring tempPath = Wide(stream->path());
  EXPECT_LT(stream->Keep(dir.File16(L"missing\\target.bin").c_str()), 0);
  EXPECT_FALSE(stream->kept());
  uint32_t done = 0;
  ASSERT_CODE(stream->Write("still here", 10, &done), RYL_OK);
  EXPECT_TRUE(Exists(tempPath));
  stream.reset();
  EXPECT_FALSE(Exists(tempPath));
}

TEST(TempFileStream, KeepAfterExportingTheStateIsRefused) {
  TempDir dir;
  TempDirectoryOverride tmp(dir.path());
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);

  class CountingMarshaller final : public RylHandleMarshaller {
   public:
    int added = 0;
    void RYL_THISCALL Reserved0() override {}
    void RYL_THISCALL Reserved1() override {}
    ResultCode RYL_THISCALL GetNextHandle(uint64_t*) override { return RYL_E_NO_MORE_ITEMS; }
    void RYL_THISCALL Reserved3() override {}
    ResultCode RYL_THISCALL AddHandle(uint64_t) override {
      ++added;
      return RYL_OK;
    }
  } marshaller;
  core::ObjectPtr<streams::MemoryStream> state(core::MakeObject<streams::MemoryStream>());
  ASSERT_CODE(stream->SaveState(state.get(), &marshaller), RYL_OK);
  EXPECT_EQ(marshaller.added, 1);
  EXPECT_EQ(state->data()[0], 6);
  EXPECT_CODE(stream->Keep(dir.File16(L"kept.bin").c_str()), RYL_E_INVALID_STATE);
  EXPECT_FALSE(Exists(dir.File(L"kept.bin")));
}

TEST(TempFileStream, MissingTemporaryDirectoryFailsAtOnceWithItsOwnCode) {
  TempDir dir;
  TempDirectoryOverride tmp(dir.File(L"does-not-exist"));
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  EXPECT_CODE(stream->Create(), RYL_E_PATH_NOT_FOUND);
  EXPECT_EQ(stream->IsOpen(), 0);
}

}  // namespace
}  // namespace ryl::fs
