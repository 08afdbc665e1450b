// DeleteFile (slot 21) and its two flags.
#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

constexpr uint32_t kClearReadOnly = 1;
constexpr uint32_t kExclusive = 2;

TEST_F(FsServiceTest, DeleteRemovesAFile) {
  ASSERT_TRUE(WriteBytes(Path(L"f.txt"), "x"));
  ASSERT_CODE(Delete(Path(L"f.txt")), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"f.txt")));
  EXPECT_CODE(Delete(Path(L"f.txt")), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(Delete(Path(L"missing\\f.txt")), RYL_E_PATH_NOT_FOUND);
}

TEST_F(FsServiceTest, DeleteRefusesADirectory) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"d").c_str(), nullptr));
  EXPECT_CODE(Delete(Path(L"d")), RYL_E_ACCESS_DENIED);
  EXPECT_CODE(Delete(Path(L"d"), kClearReadOnly), RYL_E_ACCESS_DENIED);
  EXPECT_TRUE(Exists(Path(L"d")));
}

TEST_F(FsServiceTest, DeleteOfAReadOnlyFileNeedsTheFlag) {
  ASSERT_TRUE(WriteBytes(Path(L"ro.txt"), "x", FILE_ATTRIBUTE_READONLY));
  EXPECT_CODE(Delete(Path(L"ro.txt")), RYL_E_ACCESS_DENIED);
  EXPECT_TRUE(Exists(Path(L"ro.txt")));
  ASSERT_CODE(Delete(Path(L"ro.txt"), kClearReadOnly), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"ro.txt")));
}

TEST_F(FsServiceTest, DeleteExclusiveFailsWhileTheFileIsOpen) {
  const std::wstring file = Path(L"open.txt");
  ASSERT_TRUE(WriteBytes(file, "x"));
  HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_CODE(Delete(file, kExclusive), kSharingViolationCode);
  EXPECT_CODE(Delete(file, kExclusive | kClearReadOnly), kSharingViolationCode);
  EXPECT_TRUE(Exists(file));
  // Shared, the deletion is accepted and happens when the reader closes.
  ASSERT_CODE(Delete(file), RYL_OK);
  CloseHandle(reader);
  EXPECT_FALSE(Exists(file));
}

TEST_F(FsServiceTest, DeleteOfAReservedDeviceNameDeletesTheFile) {
  const std::wstring verbatim = L"\\\\?\\" + Path(L"con.txt");
  ASSERT_TRUE(WriteBytes(verbatim, "x"));
  ASSERT_CODE(Delete(Path(L"con.txt")), RYL_OK);
  EXPECT_FALSE(Exists(verbatim));
}

TEST_F(FsServiceTest, DeleteOfASymbolicLinkKeepsItsTarget) {
  ASSERT_TRUE(WriteBytes(Path(L"real.txt"), "real"));
  if (!MakeFileSymbolicLink(Path(L"link.txt"), Path(L"real.txt"))) GTEST_SKIP() << kNoReparsePoints;
  ASSERT_CODE(Delete(Path(L"link.txt")), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"link.txt")));
  EXPECT_EQ(ReadBytes(Path(L"real.txt")), "real");
}

TEST_F(FsServiceTest, DeleteTakesOnlyTheGivenLength) {
  ASSERT_TRUE(WriteBytes(Path(L"keep.txt"), "x"));
  ASSERT_TRUE(WriteBytes(Path(L"keep"), "y"));
  const std::wstring longer = Path(L"keep.txt");
  ASSERT_CODE(fs_->DeleteFile(longer.c_str(), Len(longer) - 4, 0), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"keep")));
  EXPECT_TRUE(Exists(Path(L"keep.txt")));
  EXPECT_CODE(fs_->DeleteFile(nullptr, 3, 0), RYL_E_INVALID_ARG);
}

// Paths beyond the classic 260 characters reach their files through every
// operation, whichever of the two path conversions it uses.
TEST_F(FsServiceTest, PathsLongerThanTheClassicLimit) {
  std::wstring deep = dir_.path();
  while (deep.size() < 300) {
    deep += L"\\" + std::wstring(60, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  const std::wstring a = deep + L"\\a.bin";
  const std::wstring b = deep + L"\\b.bin";
  ASSERT_TRUE(WriteBytes(L"\\\\?\\" + a, "long"));
  uint64_t value = kSentinel64;
  ASSERT_CODE(fs_->GetFileSize(a.c_str(), Len(a), &value), RYL_OK);
  EXPECT_EQ(value, 4u);
  ASSERT_CODE(fs_->SetAttributes(FILE_ATTRIBUTE_HIDDEN, a.c_str(), Len(a)), RYL_OK);
  ASSERT_CODE(fs_->GetAttributes(&value, a.c_str(), Len(a)), RYL_OK);
  EXPECT_NE(value & FILE_ATTRIBUTE_HIDDEN, 0u);
  ASSERT_CODE(Copy(a, b, true), RYL_OK);
  EXPECT_EQ(ReadBytes(L"\\\\?\\" + b), "long");
  ASSERT_CODE(Delete(a), RYL_OK);
  EXPECT_FALSE(Exists(L"\\\\?\\" + a));
  ASSERT_CODE(Move(b, a, true), RYL_OK);
  EXPECT_EQ(ReadBytes(L"\\\\?\\" + a), "long");
}

}  // namespace
}  // namespace ryl::test
