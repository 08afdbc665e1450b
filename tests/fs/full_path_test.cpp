// FileSystemService slots 8 and 9, through the DLL: making paths absolute
// against a base or the current directory, and the native full path.
#include <string>

#include "fs/path_host.h"

namespace ryl::test {
namespace {

class FullPathTest : public PathServicesTest {
 protected:
  ResultCode MakeAbsolute(HostBuffer* out, const std::wstring& path, const std::wstring& base) {
    return fs_->MakeAbsolutePath(out->Output(), path.data(), Len(path), base.data(), Len(base));
  }
  ResultCode Full(HostBuffer* out, const std::wstring& path) {
    return fs_->GetFullPath(out->Output(), path.data(), Len(path));
  }

  CurrentDirectoryScope cwd_;
};

TEST_F(FullPathTest, MakeAbsolutePath_CombinesWithAnAbsoluteBase) {
  const struct {
    const wchar_t* path;
    const wchar_t* base;
    const wchar_t* expected;
  } cases[] = {
      {L"x", L"C:\\dir", L"C:\\dir\\x"},
      {L"\\x", L"C:\\dir", L"C:\\x"},
      {L"D:\\y", L"C:\\dir", L"D:\\y"},
      {L"..\\x", L"C:\\d", L"C:\\d\\..\\x"},
      {L"x", L"\\\\srv\\share", L"\\\\srv\\share\\x"},
      {L"", L"C:\\dir", L"C:\\dir"},
      {L"sub/x", L"C:", L"C:\\sub/x"},
  };
  for (const auto& c : cases) {
    HostBuffer out(L"old");
    EXPECT_CODE(MakeAbsolute(&out, c.path, c.base), RYL_OK) << c.path << L" on " << c.base;
    EXPECT_EQ(out.Text(), c.expected) << c.path << L" on " << c.base;
    EXPECT_FALSE(out.Overrun());
  }
}

TEST_F(FullPathTest, MakeAbsolutePath_RefusesARelativeBaseAndADrivelessRoot) {
  HostBuffer out(L"keep");
  EXPECT_CODE(MakeAbsolute(&out, L"x", L"dir"), RYL_E_INVALID_ARG);
  EXPECT_CODE(MakeAbsolute(&out, L"x", L"\\dir"), RYL_E_INVALID_ARG);
  EXPECT_CODE(MakeAbsolute(&out, L"x", L"C:dir"), RYL_E_INVALID_ARG);
  EXPECT_CODE(MakeAbsolute(&out, L"\\x", L"\\\\srv\\share"), RYL_E_BAD_FORMAT);
  EXPECT_EQ(out.Text(), L"keep");
  EXPECT_EQ(out.resizes(), 0);
  EXPECT_CODE(fs_->MakeAbsolutePath(out.Output(), nullptr, 2, L"C:\\", 3), RYL_E_INVALID_ARG);
}

TEST_F(FullPathTest, MakeAbsolutePath_EmptyBaseMeansTheCurrentDirectory) {
  ASSERT_TRUE(cwd_.Set(L"C:\\windows"));
  HostBuffer out;
  ASSERT_CODE(MakeAbsolute(&out, L"x\\y", L""), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\windows\\x\\y");
  ASSERT_CODE(MakeAbsolute(&out, L"\\x", L""), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\x");
}

TEST_F(FullPathTest, MakeAbsolutePath_DrivelessRootAgainstANetworkCurrentDirectoryFails) {
  NetworkShareScope share;
  if (!share.ready()) GTEST_SKIP() << "needs a Wine prefix whose dosdevices\\unc can hold a share";
  ASSERT_TRUE(cwd_.Set(share.Root() + L"\\"));
  HostBuffer out(L"keep");
  EXPECT_CODE(MakeAbsolute(&out, L"\\x", L""), RYL_E_BAD_FORMAT);
  EXPECT_EQ(out.Text(), L"keep");
  ASSERT_CODE(MakeAbsolute(&out, L"x", L""), RYL_OK);
  EXPECT_EQ(out.Text(), share.Root() + L"\\x");
}

TEST_F(FullPathTest, MakeAbsolutePath_InputsMayLiveInTheOutputAndFailuresPassThrough) {
  HostBuffer path(L"file");
  ASSERT_CODE(fs_->MakeAbsolutePath(path.Output(), path.data(), path.size(), L"C:\\d", 4), RYL_OK);
  EXPECT_EQ(path.Text(), L"C:\\d\\file");

  HostBuffer base(L"C:\\base");
  ASSERT_CODE(fs_->MakeAbsolutePath(base.Output(), L"f", 1, base.data(), base.size()), RYL_OK);
  EXPECT_EQ(base.Text(), L"C:\\base\\f");

  HostBuffer failing(L"keep");
  failing.FailResizeWith(RYL_E_BUFFER_TOO_SMALL);
  EXPECT_CODE(MakeAbsolute(&failing, L"x", L"C:\\"), RYL_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(failing.Text(), L"keep");
}

TEST_F(FullPathTest, MakeAbsolutePath_LongPathsAndBases) {
  const std::wstring base = PathOfLength(L"C:", L"", 400);
  const std::wstring path = PathOfLength(L"sub", L"\\f.txt", 300);
  HostBuffer out;
  ASSERT_CODE(MakeAbsolute(&out, path, base), RYL_OK);
  EXPECT_EQ(out.Text(), base + L"\\" + path);
  EXPECT_FALSE(out.Overrun());
}

TEST_F(FullPathTest, GetFullPath_ResolvesDotsSlashesAndTrailingDots) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\a\\..\\b", L"C:\\b"},
      {L"C:/x/./y/", L"C:\\x\\y\\"},
      {L"C:\\d\\name. ", L"C:\\d\\name"},
      {L"C:\\d\\name...", L"C:\\d\\name"},
      {L"\\\\srv\\share\\a\\..\\b", L"\\\\srv\\share\\b"},
      {L"C:\\d\\con", L"\\\\.\\con"},
      {L"C:\\d\\nul.txt", L"\\\\.\\nul"},
      {L"C:\\d\\com1", L"\\\\.\\com1"},
      {L"C:\\d\\com0", L"C:\\d\\com0"},
      {L"C:\\d\\con\\x", L"C:\\d\\con\\x"},
  };
  for (const auto& c : cases) {
    HostBuffer out(L"old");
    EXPECT_CODE(Full(&out, c.path), RYL_OK) << c.path;
    EXPECT_EQ(out.Text(), c.expected) << c.path;
    // The native routine always writes a terminator; the host never granted room for it.
    EXPECT_FALSE(out.Overrun()) << c.path;
  }
}

TEST_F(FullPathTest, GetFullPath_ResolvesRelativePathsAgainstTheCurrentDirectory) {
  ASSERT_TRUE(cwd_.Set(L"C:\\windows\\system32"));
  HostBuffer out;
  ASSERT_CODE(Full(&out, L"foo\\bar"), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\windows\\system32\\foo\\bar");
  ASSERT_CODE(Full(&out, L"..\\x"), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\windows\\x");
  ASSERT_CODE(Full(&out, L"\\x"), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\x");
  ASSERT_CODE(Full(&out, L"."), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\windows\\system32");
  ASSERT_CODE(Full(&out, L"con"), RYL_OK);
  EXPECT_EQ(out.Text(), L"\\\\.\\con");
}

TEST_F(FullPathTest, GetFullPath_EmptyPathCannotBeResolved) {
  HostBuffer out(L"keep");
  EXPECT_CODE(Full(&out, L""), RYL_E_INVALID_PATH);
  EXPECT_EQ(out.Text(), L"keep");
  EXPECT_CODE(fs_->GetFullPath(out.Output(), nullptr, 0), RYL_E_INVALID_PATH);
  EXPECT_CODE(fs_->GetFullPath(out.Output(), nullptr, 5), RYL_E_INVALID_ARG);
  EXPECT_CODE(fs_->GetFullPath(nullptr, L"C:\\", 3), RYL_E_INVALID_ARG);
}

TEST_F(FullPathTest, GetFullPath_PathMayLiveInTheOutputAndResizeFailuresPassThrough) {
  HostBuffer out(L"C:\\a\\.\\b\\..\\c");
  ASSERT_CODE(fs_->GetFullPath(out.Output(), out.data(), out.size()), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\a\\c");

  GrowableHostText grown(L"C:\\x\\..\\y");
  ASSERT_CODE(fs_->GetFullPath(grown.Output(), grown.data(), grown.size()), RYL_OK);
  EXPECT_EQ(grown.Text(), L"C:\\y");

  HostBuffer failing(L"keep");
  failing.FailResizeWith(RYL_E_BUFFER_TOO_SMALL);
  EXPECT_CODE(Full(&failing, L"C:\\x"), RYL_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(failing.Text(), L"keep");
}

TEST_F(FullPathTest, GetFullPath_LongPaths) {
  const std::wstring tail = PathOfLength(L"", L"\\file.txt", 600);
  HostBuffer out;
  ASSERT_CODE(Full(&out, L"C:\\x\\.." + tail), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:" + tail);
  EXPECT_FALSE(out.Overrun());
}

}  // namespace
}  // namespace ryl::test
