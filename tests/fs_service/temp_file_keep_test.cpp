// Keeping a temporary file on another volume: the rename cannot cross, so
// the data is copied and the temporary file deleted; when that fails the
// temporary file must still be there, open, writable and delete-on-close.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/object_ptr.h"
#include "fs/temp_file_stream.h"
#include "fs_service/fs_service_host.h"
#include "support/result_matchers.h"
#include "support/temp_dir.h"

namespace ryl::fs {
namespace {

class KeepAcrossVolumes : public ::testing::Test {
 protected:
  void SetUp() override {
    volumes_ = test::ReadExtraVolumes();
    if (volumes_.other.empty()) GTEST_SKIP() << "needs the second drive that the CTest volumes fixture maps";
    wchar_t old[1024];
    const DWORD n = GetEnvironmentVariableW(L"TMP", old, 1024);
    if (n > 0 && n < 1024) oldTmp_.assign(old, n);
    SetEnvironmentVariableW(L"TMP", local_.path().c_str());
    remote_ = volumes_.other + L"\\ryl-keep-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(remote_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override {
    if (volumes_.other.empty()) return;
    SetEnvironmentVariableW(L"TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
    DeleteFileW((remote_ + L"\\target.bin").c_str());
    RemoveDirectoryW(remote_.c_str());
  }
  static std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
  static bool Exists(const std::u16string& path) {
    return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) != INVALID_FILE_ATTRIBUTES;
  }

  test::ExtraVolumes volumes_;
  test::TempDir local_;
  std::wstring remote_;
  std::wstring oldTmp_;
};

TEST_F(KeepAcrossVolumes, CopiesTheDataDeletesTheTemporaryFileAndStaysOpen) {
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);
  const std::u16string tempPath = stream->path();
  uint32_t done = 0;
  ASSERT_CODE(stream->Write("across", 6, &done), RYL_OK);
  const std::u16string target = U16(remote_ + L"\\target.bin");
  ASSERT_CODE(stream->Keep(target.c_str()), RYL_OK);
  EXPECT_TRUE(stream->kept());
  EXPECT_FALSE(Exists(tempPath));
  ASSERT_CODE(stream->WriteAt(6, "!", 1, &done), RYL_OK);
  stream.reset();
  EXPECT_EQ(test::ReadWholeFile(remote_ + L"\\target.bin"), "across!");
}

TEST_F(KeepAcrossVolumes, FailedMoveLeavesTheTemporaryFileUsableAndDeleteOnClose) {
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);
  const std::u16string tempPath = stream->path();
  uint32_t done = 0;
  ASSERT_CODE(stream->Write("keep me", 7, &done), RYL_OK);
  const std::u16string target = U16(remote_ + L"\\no-such-dir\\target.bin");
  EXPECT_LT(stream->Keep(target.c_str()), 0);
  EXPECT_FALSE(stream->kept());
  EXPECT_TRUE(Exists(tempPath));
  ASSERT_CODE(stream->WriteAt(7, "!", 1, &done), RYL_OK);
  char buffer[8] = {};
  ASSERT_CODE(stream->ReadAt(0, buffer, 8, &done), RYL_OK);
  EXPECT_EQ(std::string(buffer, 8), "keep me!");
  stream.reset();
  EXPECT_FALSE(Exists(tempPath));
}

TEST_F(KeepAcrossVolumes, MoveThatRunsOutOfRoomLeavesTheTemporaryFileUsable) {
  if (volumes_.full.empty()) GTEST_SKIP() << "no small volume: " << volumes_.fullReason;
  core::ObjectPtr<TempFileStream> stream(core::MakeObject<TempFileStream>());
  ASSERT_CODE(stream->Create(), RYL_OK);
  const std::u16string tempPath = stream->path();
  const std::string block(1 << 20, 'z');
  uint32_t done = 0;
  ASSERT_CODE(stream->Write(block.data(), 1 << 20, &done), RYL_OK);
  ASSERT_CODE(stream->Write(block.data(), 1 << 20, &done), RYL_OK);
  const std::u16string target = U16(volumes_.full + L"\\too-big.bin");
  EXPECT_LT(stream->Keep(target.c_str()), 0);
  EXPECT_FALSE(stream->kept());
  EXPECT_FALSE(Exists(target));
  EXPECT_TRUE(Exists(tempPath));
  uint64_t size = 0;
  ASSERT_CODE(stream->GetSize(&size), RYL_OK);
  EXPECT_EQ(size, 2u << 20);
  ASSERT_CODE(stream->WriteAt(size, "!", 1, &done), RYL_OK);
  stream.reset();
  EXPECT_FALSE(Exists(tempPath));
}

}  // namespace
}  // namespace ryl::fs
