// MoveFile (slot 20): renames within a volume, and the copy-and-delete across
// volumes on the second drive the CTest fixture maps onto /dev/shm.
#include <memory>

#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

TEST_F(FsServiceTest, MoveRenamesWithinTheVolume) {
  const std::string data = Pattern(5000);
  ASSERT_TRUE(WriteBytes(Path(L"a.bin"), data));
  ASSERT_CODE(Move(Path(L"a.bin"), Path(L"b.bin"), true), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"a.bin")));
  EXPECT_EQ(ReadBytes(Path(L"b.bin")), data);
}

TEST_F(FsServiceTest, MoveDoNotReplaceKeepsBothFiles) {
  ASSERT_TRUE(WriteBytes(Path(L"a.bin"), "source"));
  ASSERT_TRUE(WriteBytes(Path(L"b.bin"), "target"));
  EXPECT_CODE(Move(Path(L"a.bin"), Path(L"b.bin"), true), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(ReadBytes(Path(L"a.bin")), "source");
  EXPECT_EQ(ReadBytes(Path(L"b.bin")), "target");

  ASSERT_CODE(Move(Path(L"a.bin"), Path(L"b.bin"), false), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"a.bin")));
  EXPECT_EQ(ReadBytes(Path(L"b.bin")), "source");
}

TEST_F(FsServiceTest, MoveFailuresChangeNothing) {
  EXPECT_CODE(Move(Path(L"missing.bin"), Path(L"b.bin"), false), RYL_E_FILE_NOT_FOUND);
  EXPECT_FALSE(Exists(Path(L"b.bin")));
  ASSERT_TRUE(WriteBytes(Path(L"a.bin"), "stay"));
  EXPECT_CODE(Move(Path(L"a.bin"), Path(L"missing\\b.bin"), false), RYL_E_PATH_NOT_FOUND);
  EXPECT_EQ(ReadBytes(Path(L"a.bin")), "stay");
}

TEST_F(FsServiceTest, MoveRenamesADirectory) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"d1").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Path(L"d1\\inside.txt"), "in"));
  ASSERT_CODE(Move(Path(L"d1"), Path(L"d2"), true), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"d2\\inside.txt")), "in");
  EXPECT_FALSE(Exists(Path(L"d1")));
}

// A symbolic link moves as the file it points to: the rename reaches the
// target through the link, and the link is left pointing at the old name.
TEST_F(FsServiceTest, MoveOfASymbolicLinkMovesTheFileItPointsTo) {
  ASSERT_TRUE(WriteBytes(Path(L"real.txt"), "real"));
  if (!MakeFileSymbolicLink(Path(L"link.txt"), Path(L"real.txt"))) GTEST_SKIP() << kNoReparsePoints;
  ASSERT_CODE(Move(Path(L"link.txt"), Path(L"moved.txt"), true), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"moved.txt")), "real");
  EXPECT_EQ(Attributes(Path(L"moved.txt")) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_FALSE(Exists(Path(L"real.txt")));
}

// A junction moves as itself; the directory it names stays where it is.
TEST_F(FsServiceTest, MoveOfAJunctionMovesTheJunction) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"target").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Path(L"target\\f.txt"), "in"));
  if (!MakeJunction(Path(L"junction"), Path(L"target"))) GTEST_SKIP() << kNoReparsePoints;
  ASSERT_CODE(Move(Path(L"junction"), Path(L"moved"), true), RYL_OK);
  EXPECT_NE(Attributes(Path(L"moved")) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_EQ(ReadBytes(Path(L"moved\\f.txt")), "in");
  EXPECT_EQ(ReadBytes(Path(L"target\\f.txt")), "in");
  EXPECT_FALSE(Exists(Path(L"junction")));
  RemoveDirectoryW(Path(L"moved").c_str());
}

class CrossVolumeMoveTest : public FsServiceTest {
 protected:
  void SetUp() override {
    FsServiceTest::SetUp();
    if (HasFatalFailure()) return;
    volumes_ = ReadExtraVolumes();
    if (!volumes_.configured) GTEST_SKIP() << "no second volume: RYL_FS_VOLUMES is set by the CTest fixture";
    ASSERT_FALSE(volumes_.other.empty());
    other_ = std::make_unique<ScratchDirectory>(volumes_.other + L"\\");
    ASSERT_TRUE(other_->ready());
  }
  void TearDown() override {
    other_.reset();
    FsServiceTest::TearDown();
  }

  ExtraVolumes volumes_;
  std::unique_ptr<ScratchDirectory> other_;
};

// What the move's fallback rests on: the native rename between the two
// drives really is refused as another device.
TEST_F(CrossVolumeMoveTest, TheNativeRenameAnswersNotSameDevice) {
  ASSERT_TRUE(WriteBytes(Path(L"a.bin"), "x"));
  EXPECT_FALSE(MoveFileExW(Path(L"a.bin").c_str(), (*other_ / L"a.bin").c_str(), 0));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SAME_DEVICE});
  EXPECT_TRUE(Exists(Path(L"a.bin")));
}

TEST_F(CrossVolumeMoveTest, CopiesThenDeletesTheSource) {
  const std::string data = Pattern(300000);
  ASSERT_TRUE(WriteBytes(Path(L"a.bin"), data, FILE_ATTRIBUTE_HIDDEN));
  const uint64_t when = 130000000000000000ull;
  ASSERT_TRUE(WriteLastWriteTime(Path(L"a.bin"), when));
  ASSERT_TRUE(SetDacl(Path(L"a.bin"), (L"D:P(A;;FA;;;" + CurrentUserSid() + L")(A;;FA;;;SY)").c_str()));
  const std::wstring dacl = DaclText(Path(L"a.bin"));
  ASSERT_CODE(Move(Path(L"a.bin"), *other_ / L"b.bin", true), RYL_OK);
  // The copy across carries the security over.
  EXPECT_EQ(DaclText(*other_ / L"b.bin"), dacl);
  EXPECT_FALSE(Exists(Path(L"a.bin")));
  EXPECT_EQ(ReadBytes(*other_ / L"b.bin"), data);
  Win32Times times{};
  ASSERT_TRUE(ReadTimes(*other_ / L"b.bin", &times));
  EXPECT_EQ(AsUint64(times.lastWrite), when);
  EXPECT_NE(Attributes(*other_ / L"b.bin") & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(CrossVolumeMoveTest, DoNotReplaceKeepsBothAcrossVolumes) {
  ASSERT_TRUE(WriteBytes(Path(L"a.bin"), "source"));
  ASSERT_TRUE(WriteBytes(*other_ / L"b.bin", "target"));
  EXPECT_CODE(Move(Path(L"a.bin"), *other_ / L"b.bin", true), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(ReadBytes(Path(L"a.bin")), "source");
  EXPECT_EQ(ReadBytes(*other_ / L"b.bin"), "target");

  EXPECT_GE(Move(Path(L"a.bin"), *other_ / L"b.bin", false), 0);
  EXPECT_FALSE(Exists(Path(L"a.bin")));
  EXPECT_EQ(ReadBytes(*other_ / L"b.bin"), "source");
}

TEST_F(CrossVolumeMoveTest, ADirectoryIsNotCopiedAcross) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"d").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Path(L"d\\f.txt"), "in"));
  EXPECT_LT(Move(Path(L"d"), *other_ / L"d", true), 0);
  EXPECT_EQ(ReadBytes(Path(L"d\\f.txt")), "in");
  EXPECT_FALSE(Exists(*other_ / L"d"));
}

TEST_F(CrossVolumeMoveTest, AFailedCopyKeepsTheSourceAndLeavesNoTarget) {
  if (volumes_.full.empty()) GTEST_SKIP() << "no 1 MiB volume: " << volumes_.fullReason;
  const std::string data = Pattern(2 << 20);
  ASSERT_TRUE(WriteBytes(Path(L"big.bin"), data));
  const std::wstring target = volumes_.full + L"\\moved.bin";
  EXPECT_CODE(Move(Path(L"big.bin"), target, false), kDiskFullCode);
  EXPECT_EQ(ReadBytes(Path(L"big.bin")), data);
  EXPECT_FALSE(Exists(target));
}

}  // namespace
}  // namespace ryl::test
