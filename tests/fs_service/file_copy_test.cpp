// CopyFile (slots 18 and 19) through both of its routes: the DLL's slot, which
// under Wine and Windows takes the platform's CopyFileW, and the library's
// own native block copy, reached directly because no platform here lacks
// CopyFileW.
#include "fs/file_operations.h"
#include "fs_service/fs_service_host.h"
#include "sys/environment.h"
#include "sys/kernel32_functions.h"

namespace ryl::test {
namespace {

enum class Route { kSlot, kNative };

std::string RouteName(const ::testing::TestParamInfo<Route>& info) {
  return info.param == Route::kSlot ? "Slot" : "Native";
}

class CopyTest : public FsServiceTest, public ::testing::WithParamInterface<Route> {
 protected:
  static void SetUpTestSuite() {
    // The native copy reads the page size and the system version from the
    // library's environment, which lives in this executable's copy too.
    ASSERT_CODE(sys::RylEnvironment::InitializeEnvironment(), RYL_OK);
  }

  ResultCode CopyBy(const std::wstring& source, const std::wstring& target, bool failIfExists,
                    bool copySecurity = false) {
    if (GetParam() == Route::kSlot) {
      if (!copySecurity) {
        // Slot 19, the form without security.
        return fs_->CopyFile(source.c_str(), Len(source), target.c_str(), Len(target), failIfExists ? 1 : 0);
      }
      return Copy(source, target, failIfExists, true);
    }
    return fs::CopyFileNative(reinterpret_cast<const char16_t*>(source.c_str()), Len(source),
                              reinterpret_cast<const char16_t*>(target.c_str()), Len(target), failIfExists,
                              copySecurity);
  }
};

TEST_P(CopyTest, CopiesDataLastWriteTimeAndAttributes) {
  const std::string data = Pattern(3 * 4096 + 17);
  const std::wstring source = Path(L"source.bin");
  ASSERT_TRUE(WriteBytes(source, data, FILE_ATTRIBUTE_HIDDEN));
  const uint64_t when = 131000000000000000ull;  // 2016
  ASSERT_TRUE(WriteLastWriteTime(source, when));

  ASSERT_CODE(CopyBy(source, Path(L"target.bin"), true), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"target.bin")), data);
  Win32Times times{};
  ASSERT_TRUE(ReadTimes(Path(L"target.bin"), &times));
  EXPECT_EQ(AsUint64(times.lastWrite), when);
  EXPECT_NE(Attributes(Path(L"target.bin")) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(ReadBytes(source), data);
}

// Around one page and around the native copy's block of 64 pages.
TEST_P(CopyTest, SizesAroundTheBlockSize) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{262143},
                            size_t{262144}, size_t{262145}, size_t{(1 << 20) + 1}}) {
    const std::string data = Pattern(size, static_cast<uint32_t>(size));
    ASSERT_TRUE(WriteBytes(Path(L"s.bin"), data));
    ASSERT_CODE(CopyBy(Path(L"s.bin"), Path(L"t.bin"), false), RYL_OK) << size;
    EXPECT_EQ(ReadBytes(Path(L"t.bin")), data) << size;
  }
}

TEST_P(CopyTest, FailIfExistsLeavesTheTargetAsItWas) {
  ASSERT_TRUE(WriteBytes(Path(L"s.bin"), "new"));
  ASSERT_TRUE(WriteBytes(Path(L"t.bin"), "old and longer"));
  EXPECT_CODE(CopyBy(Path(L"s.bin"), Path(L"t.bin"), true), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(ReadBytes(Path(L"t.bin")), "old and longer");
}

TEST_P(CopyTest, ReplacesAnExistingTargetWhole) {
  ASSERT_TRUE(WriteBytes(Path(L"s.bin"), "new"));
  ASSERT_TRUE(WriteBytes(Path(L"t.bin"), "old and longer"));
  ASSERT_CODE(CopyBy(Path(L"s.bin"), Path(L"t.bin"), false), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"t.bin")), "new");
}

TEST_P(CopyTest, FailuresBeforeTheCopyLeaveAnExistingTarget) {
  ASSERT_TRUE(WriteBytes(Path(L"t.bin"), "keep me"));
  EXPECT_CODE(CopyBy(Path(L"missing.bin"), Path(L"t.bin"), false), RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(ReadBytes(Path(L"t.bin")), "keep me");

  ASSERT_TRUE(CreateDirectoryW(Path(L"folder").c_str(), nullptr));
  EXPECT_LT(CopyBy(Path(L"folder"), Path(L"t.bin"), false), 0);
  EXPECT_EQ(ReadBytes(Path(L"t.bin")), "keep me");
}

TEST_P(CopyTest, CopyOntoItselfFailsAndKeepsTheFile) {
  ASSERT_TRUE(WriteBytes(Path(L"self.bin"), "precious"));
  EXPECT_LT(CopyBy(Path(L"self.bin"), Path(L"self.bin"), false), 0);
  EXPECT_EQ(ReadBytes(Path(L"self.bin")), "precious");
}

TEST_P(CopyTest, MissingTargetDirectoryCreatesNothing) {
  ASSERT_TRUE(WriteBytes(Path(L"s.bin"), "x"));
  EXPECT_CODE(CopyBy(Path(L"s.bin"), Path(L"no\\t.bin"), false), RYL_E_PATH_NOT_FOUND);
  EXPECT_FALSE(Exists(Path(L"no")));
}

// A list that grants access to this user and the system alone. Wine keeps
// a file's discretionary list as its Unix mode and reads back a list made
// up from the mode; this one survives that (and the umask of the creation)
// and differs from what a new file gets, which also grants everyone reading.
TEST_P(CopyTest, WithSecurityTheCopyGetsTheSourcesAccessList) {
  const std::wstring source = Path(L"s.bin");
  ASSERT_TRUE(WriteBytes(source, "secured"));
  const std::wstring user = CurrentUserSid();
  ASSERT_FALSE(user.empty());
  ASSERT_TRUE(SetDacl(source, (L"D:P(A;;FA;;;" + user + L")(A;;FA;;;SY)").c_str()));
  const std::wstring sourceDacl = DaclText(source);
  ASSERT_FALSE(sourceDacl.empty());

  ASSERT_CODE(CopyBy(source, Path(L"plain.bin"), true, false), RYL_OK);
  ASSERT_NE(DaclText(Path(L"plain.bin")), sourceDacl)
      << "a copy without security must differ for this to mean anything";

  ASSERT_CODE(CopyBy(source, Path(L"t.bin"), true, true), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"t.bin")), "secured");
  EXPECT_EQ(DaclText(Path(L"t.bin")), sourceDacl);
}

TEST_P(CopyTest, ToAnotherVolume) {
  const ExtraVolumes volumes = ReadExtraVolumes();
  if (!volumes.configured) GTEST_SKIP() << "no second volume: RYL_FS_VOLUMES is set by the CTest fixture";
  ASSERT_FALSE(volumes.other.empty());
  ScratchDirectory other(volumes.other + L"\\");
  ASSERT_TRUE(other.ready());
  const std::string data = Pattern(100000);
  ASSERT_TRUE(WriteBytes(Path(L"s.bin"), data));
  ASSERT_CODE(CopyBy(Path(L"s.bin"), other / L"t.bin", true), RYL_OK);
  EXPECT_EQ(ReadBytes(other / L"t.bin"), data);
}

// A copy that runs out of room midway leaves no target, whether the target
// is new or an existing file that was being replaced, and gives the room back.
TEST_P(CopyTest, FullVolumeMidwayLeavesNoTarget) {
  const ExtraVolumes volumes = ReadExtraVolumes();
  if (!volumes.configured) GTEST_SKIP() << "no small volume: RYL_FS_VOLUMES is set by the CTest fixture";
  if (volumes.full.empty()) GTEST_SKIP() << "no 1 MiB volume: " << volumes.fullReason;
  const std::wstring root = volumes.full + L"\\";
  ULARGE_INTEGER freeBefore{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &freeBefore, nullptr, nullptr));
  ASSERT_LT(freeBefore.QuadPart, 2ull << 20);

  // Read-only: the platform's copy gives its remnant the source's attributes.
  const std::string data = Pattern(2 << 20);
  ASSERT_TRUE(WriteBytes(Path(L"big.bin"), data, FILE_ATTRIBUTE_READONLY));
  const std::wstring fresh = root + L"fresh.bin";
  EXPECT_CODE(CopyBy(Path(L"big.bin"), fresh, true), kDiskFullCode);
  EXPECT_FALSE(Exists(fresh));

  const std::wstring existing = root + L"existing.bin";
  ASSERT_TRUE(WriteBytes(existing, "small"));
  EXPECT_CODE(CopyBy(Path(L"big.bin"), existing, false), kDiskFullCode);
  EXPECT_FALSE(Exists(existing));

  ULARGE_INTEGER freeAfter{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &freeAfter, nullptr, nullptr));
  EXPECT_EQ(freeAfter.QuadPart, freeBefore.QuadPart);
  // Small enough copies still go through.
  ASSERT_TRUE(WriteBytes(Path(L"small.bin"), "fits"));
  ASSERT_CODE(CopyBy(Path(L"small.bin"), root + L"small.bin", true), RYL_OK);
  EXPECT_EQ(ReadBytes(root + L"small.bin"), "fits");
  ASSERT_TRUE(DeleteFileW((root + L"small.bin").c_str()));
}

INSTANTIATE_TEST_SUITE_P(BothRoutes, CopyTest, ::testing::Values(Route::kSlot, Route::kNative), RouteName);

TEST(Kernel32Functions, CopyFileWIsOfferedAndReportsWin32Failures) {
  ASSERT_TRUE(sys::RylKernel32IsFnLoaded_CopyFileW());
  EXPECT_TRUE(sys::RylKernel32IsFnLoaded_DefineDosDeviceW());
  EXPECT_CODE(sys::RylKernel32_CopyFileW(u"C:\\no-such-dir-ryl\\a", u"C:\\no-such-dir-ryl\\b", false),
              RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(sys::RylKernel32_CopyFileW(nullptr, u"x", false), RYL_E_INVALID_ARG);
}

}  // namespace
}  // namespace ryl::test
