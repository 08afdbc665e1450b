// Attributes and the existence tests (slots 16, 17, 22 and 23).
#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

class AttributesTest : public FsServiceTest {
 protected:
  ResultCode Get(const std::wstring& path, uint64_t* out) { return fs_->GetAttributes(out, path.c_str(), Len(path)); }
  ResultCode Set(const std::wstring& path, uint64_t attributes) {
    return fs_->SetAttributes(attributes, path.c_str(), Len(path));
  }
  ResultCode FileExists(const std::wstring& path) { return fs_->FileExists(path.c_str(), Len(path)); }
  ResultCode DirectoryExists(const std::wstring& path) { return fs_->DirectoryExists(path.c_str(), Len(path)); }
};

TEST_F(AttributesTest, GetReportsFileAndDirectoryBitsWithAZeroHighHalf) {
  ASSERT_TRUE(WriteBytes(Path(L"f.txt"), "x", FILE_ATTRIBUTE_HIDDEN));
  uint64_t attributes = kSentinel64;
  ASSERT_CODE(Get(Path(L"f.txt"), &attributes), RYL_OK);
  EXPECT_EQ(attributes >> 32, 0u);
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY), uint64_t{FILE_ATTRIBUTE_HIDDEN});

  attributes = kSentinel64;
  ASSERT_CODE(Get(dir_.path(), &attributes), RYL_OK);
  EXPECT_EQ(attributes >> 32, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(AttributesTest, GetOfMissingPathsLeavesTheOutput) {
  uint64_t attributes = kSentinel64;
  EXPECT_CODE(Get(Path(L"missing.txt"), &attributes), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(Get(Path(L"missing\\x.txt"), &attributes), RYL_E_PATH_NOT_FOUND);
  EXPECT_EQ(attributes, kSentinel64);
  EXPECT_CODE(fs_->GetAttributes(nullptr, dir_.path().c_str(), Len(dir_.path())), RYL_E_INVALID_ARG);
  EXPECT_CODE(fs_->GetAttributes(&attributes, nullptr, 4), RYL_E_INVALID_ARG);
}

TEST_F(AttributesTest, SetWritesTheLowHalfAndZeroChangesNothing) {
  const std::wstring file = Path(L"f.txt");
  ASSERT_TRUE(WriteBytes(file, "x"));
  ASSERT_CODE(Set(file, 0xFFFFFFFF00000000ull | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), RYL_OK);
  EXPECT_EQ(Attributes(file) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});

  ASSERT_CODE(Set(file, 0), RYL_OK);
  EXPECT_EQ(Attributes(file) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});

  // Clearing everything takes NORMAL.
  ASSERT_CODE(Set(file, FILE_ATTRIBUTE_NORMAL), RYL_OK);
  EXPECT_EQ(Attributes(file) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);

  EXPECT_CODE(Set(Path(L"missing.txt"), FILE_ATTRIBUTE_HIDDEN), RYL_E_FILE_NOT_FOUND);
}

TEST_F(AttributesTest, SetOnAReservedDeviceNameReachesTheFile) {
  // Through the platform conversion a reserved name stays a file name.
  const std::wstring file = Path(L"nul.txt");
  ASSERT_TRUE(WriteBytes(L"\\\\?\\" + file, "x"));
  ASSERT_CODE(Set(file, FILE_ATTRIBUTE_HIDDEN), RYL_OK);
  EXPECT_NE(Attributes(L"\\\\?\\" + file) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(AttributesTest, FileExistsAndDirectoryExistsAreMirrors) {
  ASSERT_TRUE(WriteBytes(Path(L"f.txt"), ""));
  EXPECT_CODE(FileExists(Path(L"f.txt")), RYL_OK);
  EXPECT_CODE(FileExists(dir_.path()), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(FileExists(Path(L"missing.txt")), RYL_E_FILE_NOT_FOUND);
  // A missing directory on the way is still "no such file".
  EXPECT_CODE(FileExists(Path(L"missing\\f.txt")), RYL_E_FILE_NOT_FOUND);

  EXPECT_CODE(DirectoryExists(dir_.path()), RYL_OK);
  EXPECT_CODE(DirectoryExists(Path(L"f.txt")), RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(DirectoryExists(Path(L"missing")), RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(DirectoryExists(Path(L"missing\\sub")), RYL_E_PATH_NOT_FOUND);
}

TEST_F(AttributesTest, OtherFailuresPassUnchanged) {
  // A path the conversion refuses: rooted without a drive while the current
  // directory is a network path would be one; an invalid name is simpler.
  const std::wstring bad = Path(L"a\"b");
  const ResultCode file = FileExists(bad);
  const ResultCode directory = DirectoryExists(bad);
  uint64_t attributes = 0;
  const ResultCode got = Get(bad, &attributes);
  EXPECT_LT(got, 0);
  EXPECT_NE(got, RYL_E_FILE_NOT_FOUND);
  EXPECT_NE(got, RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(file, got);
  EXPECT_CODE(directory, got);
}

}  // namespace
}  // namespace ryl::test
