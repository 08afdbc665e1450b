// No operation keeps a handle, whether it succeeds or fails.
#include <memory>

#include "core/growable_buffer.h"
#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

TEST_F(FsServiceTest, HandleCountSeesOneExtraHandle) {
  // The count this test relies on must be able to show a leak at all.
  const ULONG before = ProcessHandles();
  ASSERT_NE(before, 0u);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(ProcessHandles(), before + 1);
  CloseHandle(event);
  EXPECT_EQ(ProcessHandles(), before);
}

TEST_F(FsServiceTest, NoHandleOutlivesAnOperation) {
  const ExtraVolumes volumes = ReadExtraVolumes();
  std::unique_ptr<ScratchDirectory> other;
  if (!volumes.other.empty()) other = std::make_unique<ScratchDirectory>(volumes.other + L"\\");
  const std::wstring full = volumes.full.empty() ? std::wstring() : volumes.full + L"\\leak.bin";
  ASSERT_TRUE(WriteBytes(Path(L"big.bin"), Pattern(2 << 20)));
  ASSERT_TRUE(CreateDirectoryW(Path(L"d").c_str(), nullptr));

  auto round = [&](int i) {
    const std::wstring a = Path(L"a.bin");
    const std::wstring b = Path(L"b.bin");
    const std::wstring missing = Path(L"missing\\x.bin");
    ASSERT_TRUE(WriteBytes(a, Pattern(9000, i)));
    uint64_t value = 0;
    core::GrowableBuffer<char16_t> text;
    // Successes.
    EXPECT_CODE(fs_->GetTempDirectory(text.Output()), RYL_OK);
    EXPECT_CODE(fs_->MakeTempFileName(text.Output()), RYL_OK);
    EXPECT_CODE(fs_->GetAttributes(&value, a.c_str(), Len(a)), RYL_OK);
    EXPECT_CODE(fs_->SetAttributes(FILE_ATTRIBUTE_ARCHIVE, a.c_str(), Len(a)), RYL_OK);
    EXPECT_CODE(fs_->FileExists(a.c_str(), Len(a)), RYL_OK);
    EXPECT_CODE(Copy(a, b, true), RYL_OK);
    EXPECT_GE(Copy(a, b, false, true), 0);
    EXPECT_CODE(fs_->SetLastWriteTime(b.c_str(), Len(b), 130000000000000000ull, 0), RYL_OK);
    EXPECT_CODE(fs_->SetChangeTime(b.c_str(), Len(b), 130000000000000000ull), RYL_OK);
    EXPECT_CODE(fs_->GetLastWriteTime(b.c_str(), Len(b), &value), RYL_OK);
    EXPECT_CODE(fs_->GetFileSize(b.c_str(), Len(b), &value), RYL_OK);
    EXPECT_CODE(fs_->CreateHardLink(b.c_str(), Len(b), Path(L"link.bin").c_str(), Len(Path(L"link.bin"))), RYL_OK);
    EXPECT_CODE(Delete(Path(L"link.bin")), RYL_OK);
    EXPECT_CODE(Move(b, Path(L"c.bin"), false), RYL_OK);
    EXPECT_CODE(Delete(Path(L"c.bin"), 1), RYL_OK);
    // Failures.
    EXPECT_LT(Copy(a, a, false), 0);
    EXPECT_LT(Copy(missing, b, false), 0);
    EXPECT_LT(Copy(Path(L"d"), b, false), 0);
    EXPECT_LT(Move(missing, b, false), 0);
    EXPECT_LT(Move(a, missing, false), 0);
    EXPECT_LT(Delete(Path(L"d")), 0);
    EXPECT_LT(fs_->GetFileSize(missing.c_str(), Len(missing), &value), 0);
    EXPECT_LT(fs_->GetFileSize(Path(L"nothing").c_str(), Len(Path(L"nothing")), &value), 0);
    EXPECT_LT(fs_->CreateHardLink(a.c_str(), Len(a), a.c_str(), Len(a)), 0);
    EXPECT_LT(fs_->SetFileTimes3(missing.c_str(), Len(missing), 1, 1, 1, 0), 0);
    if (other != nullptr && other->ready()) {
      EXPECT_GE(Move(a, *other / L"moved.bin", false), 0);
      EXPECT_GE(Move(*other / L"moved.bin", a, false), 0);
      EXPECT_LT(fs_->CreateHardLink(a.c_str(), Len(a), (*other / L"l").c_str(), Len(*other / L"l")), 0);
    }
    if (!full.empty()) {
      EXPECT_LT(Copy(Path(L"big.bin"), full, false), 0);
      EXPECT_LT(Move(Path(L"big.bin"), full, false), 0);
    }
  };

  round(0);  // anything created once per process (caches, the platform copy's state) exists from here on
  const ULONG before = ProcessHandles();
  ASSERT_NE(before, 0u);
  for (int i = 1; i <= 20; ++i) round(i);
  EXPECT_EQ(ProcessHandles(), before);
}

}  // namespace
}  // namespace ryl::test
