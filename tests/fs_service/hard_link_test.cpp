// CreateHardLink (slot 39).
#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

class HardLinkTest : public FsServiceTest {
 protected:
  ResultCode Link(const std::wstring& existing, const std::wstring& link) {
    return fs_->CreateHardLink(existing.c_str(), Len(existing), link.c_str(), Len(link));
  }
};

TEST_F(HardLinkTest, BothNamesReachOneFile) {
  ASSERT_TRUE(WriteBytes(Path(L"a.txt"), "first"));
  ASSERT_CODE(Link(Path(L"a.txt"), Path(L"b.txt")), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"b.txt")), "first");
  ASSERT_TRUE(WriteBytes(Path(L"b.txt"), "through b"));
  EXPECT_EQ(ReadBytes(Path(L"a.txt")), "through b");
  ASSERT_TRUE(DeleteFileW(Path(L"a.txt").c_str()));
  EXPECT_EQ(ReadBytes(Path(L"b.txt")), "through b");
}

TEST_F(HardLinkTest, BothPathsMustBeAbsolute) {
  ASSERT_TRUE(WriteBytes(Path(L"a.txt"), "x"));
  CurrentDirectoryScope cwd(dir_.path());
  EXPECT_CODE(Link(L"a.txt", Path(L"b.txt")), RYL_E_INVALID_ARG);
  EXPECT_CODE(Link(Path(L"a.txt"), L"b.txt"), RYL_E_INVALID_ARG);
  EXPECT_CODE(Link(Path(L"a.txt"), L"\\b.txt"), RYL_E_INVALID_ARG);
  EXPECT_CODE(Link(Path(L"a.txt"), L"C:b.txt"), RYL_E_INVALID_ARG);
  EXPECT_FALSE(Exists(Path(L"b.txt")));
}

TEST_F(HardLinkTest, AnExistingNameIsNeverReplaced) {
  ASSERT_TRUE(WriteBytes(Path(L"a.txt"), "a"));
  ASSERT_TRUE(WriteBytes(Path(L"b.txt"), "b"));
  EXPECT_CODE(Link(Path(L"a.txt"), Path(L"b.txt")), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(ReadBytes(Path(L"b.txt")), "b");
}

TEST_F(HardLinkTest, RefusedForDirectoriesAndMissingFiles) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"d").c_str(), nullptr));
  EXPECT_CODE(Link(Path(L"d"), Path(L"d2")), RYL_E_ACCESS_DENIED);
  EXPECT_CODE(Link(Path(L"missing"), Path(L"x")), RYL_E_FILE_NOT_FOUND);
  EXPECT_FALSE(Exists(Path(L"d2")));
  EXPECT_FALSE(Exists(Path(L"x")));
}

TEST_F(HardLinkTest, AcrossVolumesIsNotSameDevice) {
  const ExtraVolumes volumes = ReadExtraVolumes();
  if (!volumes.configured) GTEST_SKIP() << "no second volume: RYL_FS_VOLUMES is set by the CTest fixture";
  ScratchDirectory other(volumes.other + L"\\");
  ASSERT_TRUE(other.ready());
  ASSERT_TRUE(WriteBytes(Path(L"a.txt"), "x"));
  EXPECT_CODE(Link(Path(L"a.txt"), other / L"a.txt"), kNotSameDeviceCode);
  EXPECT_FALSE(Exists(other / L"a.txt"));
}

}  // namespace
}  // namespace ryl::test
