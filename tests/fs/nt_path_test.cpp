// The path conversions that have no slot of their own: the native path every
// file-system operation opens, the verbatim full path, and the joins used for
// directory entries. White-box, linked against the fs library.
#include <string>

#include "core/growable_buffer.h"
#include "fs/nt_path.h"
#include "fs/path_host.h"
#include "strings/path_text.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::fs {
namespace {

using test::CurrentDirectoryScope;
using test::PathOfLength;

const char16_t* U(const std::wstring& text) { return reinterpret_cast<const char16_t*>(text.c_str()); }
strings::PathText P(const std::wstring& text) { return strings::PathText(U(text), text.size()); }

struct Converted {
  ResultCode code;
  std::wstring native;
  bool holds;
};

Converted Convert(const std::wstring& dos) {
  sys::ScopedRtlUnicodeString out;
  const ResultCode code = ConvertToNtPath(&out, U(dos), static_cast<uint32_t>(dos.size()));
  return {code, out.has_value() ? std::wstring(out.data(), out.size()) : std::wstring(), out.has_value()};
}

// What the native layer alone makes of a DOS path.
std::wstring NativeLayerConversion(const std::wstring& dos) {
  sys::ScopedRtlUnicodeString out;
  if (!RylRtlDosPathNameToNtPathName(dos.c_str(), out.Receive())) return L"<fails>";
  return std::wstring(out.data(), out.size());
}

std::wstring FullPathOf(const std::wstring& dos) {
  wchar_t buffer[1024];
  const ULONG bytes = RtlGetFullPathName_U(dos.c_str(), sizeof buffer, buffer, nullptr);
  return std::wstring(buffer, bytes / sizeof(wchar_t));
}

class ConvertToNtPathTest : public ::testing::Test {
 protected:
  CurrentDirectoryScope cwd_;
};

TEST_F(ConvertToNtPathTest, DrivePathsGoThroughTheVerbatimFormBeforeConversion) {
  // `.` and `..` are resolved by the full-path routine behind `\\?\`...
  Converted r = Convert(L"C:\\a\\..\\b");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\C:\\b");
  r = Convert(L"C:/x/./y");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\C:\\x\\y");
  // ...and that route is what keeps a reserved name a file: the native layer
  // on its own turns `C:\d\con` into the console or refuses it.
  ASSERT_NE(NativeLayerConversion(L"C:\\d\\con"), L"\\??\\C:\\d\\con");
  for (const wchar_t* name : {L"con", L"nul.txt", L"COM1", L"lpt9.log", L"aux"}) {
    r = Convert(std::wstring(L"C:\\d\\") + name);
    EXPECT_CODE(r.code, RYL_OK) << name;
    EXPECT_EQ(r.native, std::wstring(L"\\??\\C:\\d\\") + name);
  }
}

TEST_F(ConvertToNtPathTest, RelativePathsAreResolvedAgainstTheCurrentDirectory) {
  ASSERT_TRUE(cwd_.Set(L"C:\\windows"));
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {L"foo\\bar", L"\\??\\C:\\windows\\foo\\bar"},
      {L"..\\x", L"\\??\\C:\\x"},
      {L"C:foo", L"\\??\\C:\\windows\\foo"},
      {L"./a/b", L"\\??\\C:\\windows\\a\\b"},
      {L"name. ", L"\\??\\C:\\windows\\name"},
      // A reserved name ending a relative path stays a file in that directory.
      {L"con", L"\\??\\C:\\windows\\con"},
      {L"sub\\nul.txt", L"\\??\\C:\\windows\\sub\\nul.txt"},
      {L"com1", L"\\??\\C:\\windows\\com1"},
  };
  for (const auto& c : cases) {
    const Converted r = Convert(c.path);
    EXPECT_CODE(r.code, RYL_OK) << c.path;
    EXPECT_EQ(r.native, c.expected) << c.path;
  }
  // The relative form goes to the final conversion unchanged.
  EXPECT_EQ(Convert(L"foo\\bar").native, NativeLayerConversion(L"foo\\bar"));
}

TEST_F(ConvertToNtPathTest, NetworkPathsSwitchToTheVerbatimFormAt260Characters) {
  const std::wstring head = L"\\\\srv\\share\\a\\..";
  const std::wstring shorter = PathOfLength(head, L"\\end.", 259);
  const std::wstring longer = PathOfLength(head, L"\\end.", 260);
  ASSERT_EQ(shorter.size(), 259u);
  ASSERT_EQ(longer.size(), 260u);

  // 259: handed on unchanged, so the native layer resolves ".." and drops the
  // trailing dot.
  Converted r = Convert(shorter);
  EXPECT_CODE(r.code, RYL_OK);
  const std::wstring resolved = L"\\??\\UNC\\srv\\share" + shorter.substr(head.size(), shorter.size() - head.size() - 1);
  EXPECT_EQ(r.native, resolved);

  // 260: \\?\UNC\server\..., taken literally.
  r = Convert(longer);
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\UNC\\" + longer.substr(2));

  // Forward slashes mean nothing behind the verbatim prefix: they become `\`.
  std::wstring slashed = longer;
  for (wchar_t& c : slashed) {
    if (c == L'\\') c = L'/';
  }
  r = Convert(slashed);
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\UNC\\" + longer.substr(2));
}

TEST_F(ConvertToNtPathTest, DeviceAndVerbatimNetworkFormsPassUnchangedAtAnyLength) {
  const std::wstring verbatim = PathOfLength(L"\\\\?\\UNC\\srv\\share\\x\\..", L"\\end.", 400);
  Converted r = Convert(verbatim);
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\" + verbatim.substr(4));

  r = Convert(L"\\\\?\\C:\\d\\name.");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\C:\\d\\name.");

  r = Convert(L"\\\\.\\con");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, NativeLayerConversion(L"\\\\.\\con"));

  r = Convert(L"//srv/share/x");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\UNC\\srv\\share\\x");
}

TEST_F(ConvertToNtPathTest, TrailingDotsAndSpacesOfDrivePathsSurviveTheFullPathRoutine) {
  if (FullPathOf(L"\\\\?\\C:\\d\\name.") != L"\\\\?\\C:\\d\\name.") {
    GTEST_SKIP() << "Wine's RtlGetFullPathName_U strips trailing dots and spaces from \\\\?\\ paths";
  }
  EXPECT_EQ(Convert(L"C:\\d\\name.").native, L"\\??\\C:\\d\\name.");
  EXPECT_EQ(Convert(L"C:\\d\\name ").native, L"\\??\\C:\\d\\name ");
}

TEST_F(ConvertToNtPathTest, RootedPathsTakeTheDriveOfTheCurrentDirectory) {
  ASSERT_TRUE(cwd_.Set(L"C:\\windows"));
  Converted r = Convert(L"\\x\\y");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\C:\\x\\y");

  test::ExtraDriveScope drive;
  if (drive.letter() == 0) GTEST_SKIP() << "needs a Wine prefix whose dosdevices can take another drive";
  const std::wstring root = std::wstring(1, drive.letter()) + L":\\";
  ASSERT_TRUE(cwd_.Set(root));
  r = Convert(L"\\x\\y");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\" + root + L"x\\y");
  r = Convert(L"/x/../z");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\" + root + L"z");
  r = Convert(L"\\d\\nul");
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\" + root + L"d\\nul");
}

TEST_F(ConvertToNtPathTest, RootedPathWithANetworkCurrentDirectoryIsBadFormat) {
  test::NetworkShareScope share;
  if (!share.ready()) GTEST_SKIP() << "needs a Wine prefix whose dosdevices\\unc can hold a share";
  ASSERT_TRUE(cwd_.Set(share.Root() + L"\\"));
  const Converted r = Convert(L"\\x\\y");
  EXPECT_CODE(r.code, RYL_E_BAD_FORMAT);
  EXPECT_FALSE(r.holds);
  sys::ScopedRtlUnicodeString reused;
  ASSERT_CODE(ConvertToNtPath(&reused, u"C:\\x", 4), RYL_OK);
  EXPECT_CODE(ConvertToNtPath(&reused, u"\\x", 2), RYL_E_BAD_FORMAT);
  EXPECT_FALSE(reused.has_value());
  // Relative paths still resolve against the share.
  EXPECT_EQ(Convert(L"x").native, L"\\??\\UNC\\" + share.Root().substr(2) + L"\\x");
}

TEST_F(ConvertToNtPathTest, NativePathsAreCopiedUnchanged) {
  for (const std::wstring& native :
       {std::wstring(L"\\??\\C:\\some\\..\\path. "), std::wstring(L"\\GLOBAL??\\C:\\x"),
        std::wstring(L"\\??\\UNC\\srv\\share\\x"), PathOfLength(L"\\??\\C:", L"\\x.", 500)}) {
    const Converted r = Convert(native);
    EXPECT_CODE(r.code, RYL_OK);
    EXPECT_EQ(r.native, native);
  }
}

TEST_F(ConvertToNtPathTest, LongDrivePathsConvertWhole) {
  const std::wstring tail = PathOfLength(L"", L"\\file.txt", 700);
  Converted r = Convert(L"C:\\x\\.." + tail);
  EXPECT_CODE(r.code, RYL_OK);
  EXPECT_EQ(r.native, L"\\??\\C:" + tail);
  // Exactly at the edges of the inline scratch store.
  for (size_t length : {258u, 259u, 260u, 261u, 262u}) {
    const std::wstring path = PathOfLength(L"C:", L"\\f", length);
    r = Convert(path);
    EXPECT_CODE(r.code, RYL_OK) << length;
    EXPECT_EQ(r.native, L"\\??\\" + path) << length;
  }
}

TEST_F(ConvertToNtPathTest, UnconvertiblePathsFailAsPathNotFoundHoldingNothing) {
  Converted r = Convert(L"");
  EXPECT_CODE(r.code, RYL_E_PATH_NOT_FOUND);
  EXPECT_FALSE(r.holds);
  r = Convert(L" ");
  EXPECT_CODE(r.code, RYL_E_PATH_NOT_FOUND);
  EXPECT_FALSE(r.holds);
  sys::ScopedRtlUnicodeString out;
  EXPECT_CODE(ConvertToNtPath(&out, nullptr, 0), RYL_E_INVALID_ARG);
  EXPECT_CODE(ConvertToNtPath(nullptr, u"C:\\", 3), RYL_E_INVALID_ARG);
}

TEST_F(ConvertToNtPathTest, ASecondConversionReleasesTheFirst) {
  sys::ScopedRtlUnicodeString out;
  ASSERT_CODE(ConvertToNtPath(&out, u"C:\\first", 8), RYL_OK);
  ASSERT_CODE(ConvertToNtPath(&out, u"C:\\second", 9), RYL_OK);
  EXPECT_EQ(std::wstring(out.data(), out.size()), L"\\??\\C:\\second");
  EXPECT_NE(ConvertToNtPath(&out, u"", 0), RYL_OK);
  EXPECT_FALSE(out.has_value());
}

class FullPathVerbatimTest : public ::testing::Test {
 protected:
  std::wstring Verbatim(const std::wstring& path, uint32_t length) {
    test::HostBuffer out(L"old");
    const ResultCode rc = GetFullPathVerbatim(out.Output(), U(path), length);
    EXPECT_CODE(rc, RYL_OK) << path;
    EXPECT_FALSE(out.Overrun());
    return out.Text();
  }
  std::wstring Verbatim(const std::wstring& path) { return Verbatim(path, static_cast<uint32_t>(path.size())); }

  CurrentDirectoryScope cwd_;
};

TEST_F(FullPathVerbatimTest, ReservedNamesStayFilesInTheVerbatimForm) {
  EXPECT_EQ(Verbatim(L"C:\\d\\con"), L"\\\\?\\C:\\d\\con");
  EXPECT_EQ(Verbatim(L"C:\\d\\con.txt"), L"\\\\?\\C:\\d\\con.txt");
  EXPECT_EQ(Verbatim(L"C:\\d\\..\\e\\NUL"), L"\\\\?\\C:\\e\\NUL");
  EXPECT_EQ(Verbatim(L"C:/d/com1.log"), L"\\\\?\\C:\\d\\com1.log");
  EXPECT_EQ(Verbatim(L"C:\\d\\aux. "), L"\\\\?\\C:\\d\\aux");
  EXPECT_EQ(Verbatim(L"\\\\srv\\share\\con"), L"\\\\srv\\share\\con");  // never a device on a share
  ASSERT_TRUE(cwd_.Set(L"C:\\windows"));
  EXPECT_EQ(Verbatim(L"prn"), L"\\\\?\\C:\\windows\\prn");
  EXPECT_EQ(Verbatim(L"\\d\\lpt1"), L"\\\\?\\C:\\d\\lpt1");
}

TEST_F(FullPathVerbatimTest, OrdinaryPathsGetThePlainFullPath) {
  EXPECT_EQ(Verbatim(L"C:\\a\\..\\b"), L"C:\\b");
  EXPECT_EQ(Verbatim(L"C:\\d\\com0"), L"C:\\d\\com0");
  EXPECT_EQ(Verbatim(L"C:\\d\\name. "), L"C:\\d\\name");
  EXPECT_EQ(Verbatim(L"\\\\.\\con"), L"\\\\.\\con");
  const std::wstring tail = PathOfLength(L"", L"\\con", 500);
  EXPECT_EQ(Verbatim(L"C:" + tail), L"\\\\?\\C:" + tail);
}

TEST_F(FullPathVerbatimTest, ZeroTerminatedLengthAndAShareAsCurrentDirectory) {
  EXPECT_EQ(Verbatim(L"C:\\d\\con", kZeroTerminated), L"\\\\?\\C:\\d\\con");
  EXPECT_EQ(Verbatim(L"C:\\d\\con", 6), L"C:\\d\\c");  // only the given length counts
  test::NetworkShareScope share;
  if (!share.ready()) GTEST_SKIP() << "needs a Wine prefix whose dosdevices\\unc can hold a share";
  ASSERT_TRUE(cwd_.Set(share.Root() + L"\\"));
  EXPECT_EQ(Verbatim(L"con"), L"\\\\?\\UNC\\" + share.Root().substr(2) + L"\\con");
}

TEST_F(FullPathVerbatimTest, FailuresLeaveTheOutputAndInputsMayShareIt) {
  test::HostBuffer out(L"keep");
  EXPECT_CODE(GetFullPathVerbatim(out.Output(), u"", 0), RYL_E_INVALID_PATH);
  EXPECT_CODE(GetFullPathVerbatim(out.Output(), nullptr, 3), RYL_E_INVALID_ARG);
  EXPECT_EQ(out.Text(), L"keep");
  out.FailResizeWith(RYL_E_BUFFER_TOO_SMALL);
  EXPECT_CODE(GetFullPathVerbatim(out.Output(), u"C:\\d\\con", 8), RYL_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(out.Text(), L"keep");

  test::HostBuffer shared(L"C:\\x\\..\\con");
  ASSERT_CODE(GetFullPathVerbatim(shared.Output(), reinterpret_cast<const char16_t*>(shared.data()), shared.size()),
              RYL_OK);
  EXPECT_EQ(shared.Text(), L"\\\\?\\C:\\con");
}

TEST(NeedsVerbatimForm, TrailingDotsAnywhereAndTrailingSpacesAtTheEnd) {
  for (const wchar_t* yes : {L"name.", L"name ", L"...", L"a.\\b", L"a./b", L"a.\\", L"x\\y.", L"x\\y\\z "}) {
    EXPECT_TRUE(strings::NeedsVerbatimForm(P(yes))) << yes;
  }
  for (const wchar_t* no : {L"", L".", L"..", L"name", L"a \\b", L"a\\.\\b", L"a\\..\\b", L"a\\", L".\\x", L"a.b",
                            L"a\\\\b"}) {
    EXPECT_FALSE(strings::NeedsVerbatimForm(P(no))) << no;
  }
}

TEST(JoinVerbatim, SwitchesToTheVerbatimFormOnlyForNamesThatNeedIt) {
  const struct {
    const wchar_t* directory;
    const wchar_t* name;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\d", L"name.", L"\\\\?\\C:\\d\\name."},
      {L"C:\\d\\", L"name ", L"\\\\?\\C:\\d\\name "},
      {L"C:/d/e", L"x.", L"\\\\?\\C:\\d\\e\\x."},
      {L"\\\\srv\\share\\d", L"x.", L"\\\\?\\UNC\\srv\\share\\d\\x."},
      {L"\\\\?\\C:\\d", L"..", L"\\\\?\\C:\\"},
      {L"\\\\?\\C:\\d", L".", L"\\\\?\\C:\\d"},
      {L"\\\\?\\C:\\d", L"x.", L"\\\\?\\C:\\d\\x."},
      {L"C:\\d", L"x", L"C:\\d\\x"},
      {L"C:\\d", L"..", L"C:\\d\\.."},
      {L"rel", L"x", L"rel\\x"},
  };
  for (const auto& c : cases) {
    test::HostBuffer out(L"old");
    EXPECT_CODE(strings::JoinVerbatim(out.Output(), P(c.directory), P(c.name)), RYL_OK) << c.directory << L" + " << c.name;
    EXPECT_EQ(out.Text(), c.expected) << c.directory << L" + " << c.name;
  }
  const std::wstring longDirectory = PathOfLength(L"C:", L"", 300);
  test::HostBuffer joined;
  ASSERT_CODE(strings::JoinVerbatim(joined.Output(), P(longDirectory), P(L"end.")), RYL_OK);
  EXPECT_EQ(joined.Text(), L"\\\\?\\" + longDirectory + L"\\end.");
  EXPECT_TRUE(strings::NeedsVerbatimForm(P(longDirectory + L"\\end ")));

  test::HostBuffer out(L"keep");
  EXPECT_CODE(strings::JoinVerbatim(out.Output(), P(L"rel"), P(L"x.")), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings::JoinVerbatim(out.Output(), P(L"\\rooted"), P(L"x ")), RYL_E_INVALID_ARG);
  EXPECT_EQ(out.Text(), L"keep");
}

TEST(ReadCurrentDirectory, GrowsPastTheInlineStore) {
  CurrentDirectoryScope cwd;
  ASSERT_TRUE(cwd.Set(L"C:\\windows\\system32"));
  strings::SmallPathScratchBuffer small;
  ASSERT_LT(small.capacity(), test::CurrentDirectory().size());
  ASSERT_CODE(ReadCurrentDirectory(&small), RYL_OK);
  EXPECT_TRUE(small.IsOnHeap());
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(small.c_str())), test::CurrentDirectory());
  strings::PathScratchBuffer full;
  ASSERT_CODE(ReadCurrentDirectory(&full), RYL_OK);
  EXPECT_FALSE(full.IsOnHeap());
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(full.c_str())), test::CurrentDirectory());
}

}  // namespace
}  // namespace ryl::fs
