// GetFileSize (slot 47).
#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

class FileSizeTest : public FsServiceTest {
 protected:
  ResultCode Size(const std::wstring& path, uint64_t* out) { return fs_->GetFileSize(path.c_str(), Len(path), out); }
};

TEST_F(FileSizeTest, EndOfFileOfFilesAndZeroForDirectories) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{70000}}) {
    ASSERT_TRUE(WriteBytes(Path(L"f.bin"), Pattern(size)));
    uint64_t got = kSentinel64;
    ASSERT_CODE(Size(Path(L"f.bin"), &got), RYL_OK);
    EXPECT_EQ(got, size);
  }
  ASSERT_TRUE(CreateDirectoryW(Path(L"d").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Path(L"d\\inside.bin"), Pattern(5000)));
  uint64_t got = kSentinel64;
  ASSERT_CODE(Size(Path(L"d"), &got), RYL_OK);
  EXPECT_EQ(got, 0u);
}

TEST_F(FileSizeTest, SizesBeyondFourGigabytesKeepTheHighHalf) {
  const std::wstring file = Path(L"sparse.bin");
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = (5ll << 30) + 3;
  const bool sized = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
  CloseHandle(handle);
  ASSERT_TRUE(sized);
  uint64_t got = kSentinel64;
  ASSERT_CODE(Size(file, &got), RYL_OK);
  EXPECT_EQ(got, (5ull << 30) + 3);
}

TEST_F(FileSizeTest, MissingFilesLeaveTheOutput) {
  uint64_t got = kSentinel64;
  // The directory is there but holds no such entry.
  EXPECT_CODE(Size(Path(L"missing.bin"), &got), RYL_E_FILE_NOT_FOUND);
  // No directory to look in: the open's own failure stands.
  EXPECT_CODE(Size(Path(L"missing\\f.bin"), &got), RYL_E_PATH_NOT_FOUND);
  EXPECT_EQ(got, kSentinel64);
  EXPECT_CODE(fs_->GetFileSize(Path(L"x").c_str(), 3, nullptr), RYL_E_INVALID_ARG);
}

// A name the path conversion cannot reach is still found in its directory's
// listing. Under Wine the full-path routine drops a trailing space even
// behind `\\?\`, so opening "name " by its DOS path fails there; on Windows
// the open itself succeeds. Either way the size is the file's.
TEST_F(FileSizeTest, ANameTheOpenCannotReachIsLookedUpInItsDirectory) {
  const std::wstring native = L"\\\\?\\" + Path(L"trailing ");
  ASSERT_TRUE(WriteBytes(native, Pattern(1234)));
  ASSERT_TRUE(Exists(native));
  uint64_t got = kSentinel64;
  ASSERT_CODE(Size(Path(L"trailing "), &got), RYL_OK);
  EXPECT_EQ(got, 1234u);
}

}  // namespace
}  // namespace ryl::test
