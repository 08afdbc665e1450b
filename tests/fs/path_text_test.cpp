// The path text slots of the string service (28-47), called through the DLL
// the way a host calls them.
#include <set>
#include <string>

#include "fs/path_host.h"

namespace ryl::test {
namespace {

struct Case {
  const wchar_t* input;
  const wchar_t* expected;
};

class PathTextTest : public PathServicesTest {
 protected:
  enum class Part { kExtension, kFileName, kStem, kParent, kRoot };

  RylStringView View(Part part, const std::wstring& path) {
    RylStringView view{reinterpret_cast<const RylChar16*>(0x1), 0xDEADBEEF};
    RylStringView* returned = nullptr;
    switch (part) {
      case Part::kExtension: returned = strings_->GetExtensionView(&view, path.data(), Len(path)); break;
      case Part::kFileName: returned = strings_->GetFileNamePartView(&view, path.data(), Len(path)); break;
      case Part::kStem: returned = strings_->GetStemView(&view, path.data(), Len(path)); break;
      case Part::kParent: returned = strings_->GetParentPathView(&view, path.data(), Len(path)); break;
      case Part::kRoot: returned = strings_->GetRootPathView(&view, path.data(), Len(path)); break;
    }
    EXPECT_EQ(returned, &view) << "a view slot returns the hidden result pointer";
    return view;
  }

  ResultCode Copy(Part part, OutputBuffer* out, const wchar_t* path, uint32_t length) {
    switch (part) {
      case Part::kExtension: return strings_->GetExtension(out, path, length);
      case Part::kFileName: return strings_->GetFileNamePart(out, path, length);
      case Part::kStem: return strings_->GetStem(out, path, length);
      case Part::kParent: return strings_->GetParentPath(out, path, length);
      case Part::kRoot: return strings_->GetRootPath(out, path, length);
    }
    return RYL_E_INVALID_STATE;
  }

  // The view must point into the input (or be (null, 0) when empty), and the
  // copy slot must write the same text, without a terminator, by one Resize.
  void ExpectPart(Part part, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const std::wstring path = c.input;
      const std::wstring expected = c.expected;
      SCOPED_TRACE(L"path '" + path + L"'");
      const RylStringView view = View(part, path);
      if (expected.empty()) {
        EXPECT_EQ(view.data, nullptr);
        EXPECT_EQ(view.length, 0u);
      } else {
        ASSERT_NE(view.data, nullptr);
        EXPECT_GE(view.data, path.data());
        EXPECT_LE(view.data + view.length, path.data() + path.size());
        EXPECT_EQ(std::wstring(view.data, view.length), expected);
      }
      HostBuffer out(L"previous contents");
      EXPECT_CODE(Copy(part, out.Output(), path.data(), Len(path)), RYL_OK);
      EXPECT_EQ(out.Text(), expected);
      EXPECT_EQ(out.resizes(), 1);
      EXPECT_FALSE(out.Overrun());
    }
  }
};

TEST_F(PathTextTest, IsAbsolutePath_DriveRootsAndNetworkPathsOnly) {
  for (const wchar_t* yes : {L"C:", L"C:\\", L"C:/x", L"c:\\dir\\file", L"\\\\srv", L"//srv/share", L"\\/x"}) {
    EXPECT_EQ(strings_->IsAbsolutePath(yes, static_cast<uint32_t>(wcslen(yes))), 1) << yes;
  }
  for (const wchar_t* no : {L"", L"C", L"C:foo", L"\\foo", L"/foo", L"\\", L"foo", L"..\\x", L"1\\:"}) {
    EXPECT_EQ(strings_->IsAbsolutePath(no, static_cast<uint32_t>(wcslen(no))), 0) << no;
  }
  // Only the given length counts, not what follows it.
  EXPECT_EQ(strings_->IsAbsolutePath(L"C:\\x", 1), 0);
  EXPECT_EQ(strings_->IsAbsolutePath(L"C:\\x", 2), 1);
  EXPECT_EQ(strings_->IsAbsolutePath(nullptr, 0), 0);
}

TEST_F(PathTextTest, GetRootLength_DriveNetworkAndRootedForms) {
  const std::pair<const wchar_t*, uint32_t> cases[] = {
      {L"\\\\server\\share\\dir", 14}, {L"\\\\server\\", 9}, {L"\\\\server", 8}, {L"\\\\server\\share", 14},
      {L"//server/share/dir", 14},     {L"\\\\", 2},         {L"C:", 2},         {L"C:\\x", 3},
      {L"C:/x", 3},                    {L"C:x", 2},          {L"\\a", 1},        {L"/a", 1},
      {L"\\", 1},                      {L"a", 0},            {L"", 0},           {L"a\\b", 0},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(strings_->GetRootLength(path, static_cast<uint32_t>(wcslen(path))), expected) << path;
  }
}

TEST_F(PathTextTest, GetRootPath_IsThePrefixOfRootLength) {
  ExpectPart(Part::kRoot, {{L"\\\\server\\share\\dir", L"\\\\server\\share"},
                           {L"C:\\dir\\file", L"C:\\"},
                           {L"C:file", L"C:"},
                           {L"\\dir", L"\\"},
                           {L"dir\\file", L""},
                           {L"", L""}});
}

TEST_F(PathTextTest, GetExtension_StartsAtTheLastDotOfTheLastName) {
  ExpectPart(Part::kExtension, {{L"a.txt", L".txt"},
                                {L"dir\\a.tar.gz", L".gz"},
                                {L".profile", L".profile"},
                                {L"a.", L""},
                                {L"a.b\\c", L""},
                                {L"a.b/c", L""},
                                {L"x.y:z", L""},
                                {L"C:x.y", L".y"},
                                {L"dir.d\\", L""},
                                {L"noext", L""},
                                {L"", L""}});
  EXPECT_EQ(strings_->HasExtension(L"a.txt", 5), 1);
  EXPECT_EQ(strings_->HasExtension(L"a.", 2), 0);
  EXPECT_EQ(strings_->HasExtension(L"a.b\\c", 5), 0);
  EXPECT_EQ(strings_->HasExtension(L"C:.x", 4), 1);
  EXPECT_EQ(strings_->HasExtension(L"", 0), 0);
}

TEST_F(PathTextTest, GetFileNamePart_IsTheLastComponentAndADriveAloneHasNone) {
  ExpectPart(Part::kFileName, {{L"C:", L""},
                               {L"c:", L""},
                               {L"C:foo", L"C:foo"},
                               {L"1:", L"1:"},
                               {L"C:\\dir\\file.txt", L"file.txt"},
                               {L"a/b\\c", L"c"},
                               {L"dir\\", L""},
                               {L"name", L"name"},
                               {L"\\\\server\\share", L"share"},
                               {L"", L""}});
}

TEST_F(PathTextTest, GetStem_DropsTheExtensionOfTheLastNameOnly) {
  ExpectPart(Part::kStem, {{L".profile", L""},
                           {L"a.b\\c", L"c"},
                           {L"dir\\file.txt", L"file"},
                           {L"C:file.txt", L"file"},
                           {L"a.b.c", L"a.b"},
                           {L"name.", L"name"},
                           {L"dir.x\\", L""},
                           {L"plain", L"plain"},
                           {L"", L""}});
}

TEST_F(PathTextTest, GetParentPath_KeepsTheDriveRootAndFoldsSeparatorRuns) {
  ExpectPart(Part::kParent, {{L"C:\\dir\\file", L"C:\\dir"},
                             {L"C:\\dir\\", L"C:\\dir"},
                             {L"C:\\", L"C:\\"},
                             {L"C:", L""},
                             {L"C:\\x", L"C:\\"},
                             {L"C:\\\\x", L"C:\\"},
                             {L"C:/dir/file", L"C:/dir"},
                             {L"\\file", L"\\"},
                             {L"\\\\file", L"\\"},
                             {L"\\", L"\\"},
                             {L"a", L""},
                             {L"a\\b", L"a"},
                             {L"a\\\\\\b", L"a"},
                             {L"C:a\\b", L"C:a"},
                             {L"\\\\server\\share", L"\\\\server"},
                             {L"", L""}});
}

TEST_F(PathTextTest, SplitParentAndName_SplitsAtTheSeparatorBeforeTheLastName) {
  const struct {
    const wchar_t* path;
    const wchar_t* parent;
    const wchar_t* name;
  } cases[] = {
      {L"C:\\foo\\", L"C:\\", L"foo"},
      {L"a\\b", L"a", L"b"},
      {L"\\\\server\\share", L"\\\\server", L"share"},
      {L"\\\\server", L"\\", L"server"},
      {L"C:\\dir\\sub\\\\", L"C:\\dir", L"sub"},
      {L"a/b/c", L"a/b", L"c"},
  };
  for (const auto& c : cases) {
    const std::wstring path = c.path;
    RylStringView parent{};
    RylStringView name{};
    ASSERT_CODE(strings_->SplitParentAndName(path.data(), Len(path), &parent, &name), RYL_OK);
    EXPECT_EQ(parent.data, path.data()) << c.path;
    EXPECT_EQ(std::wstring(parent.data, parent.length), c.parent) << c.path;
    EXPECT_EQ(std::wstring(name.data, name.length), c.name) << c.path;
  }
}

TEST_F(PathTextTest, SplitParentAndName_FailsWithoutASeparatorBeforeTheNameAndLeavesOutputs) {
  for (const wchar_t* bad : {L"\\foo", L"", L"\\\\\\", L"foo", L"/"}) {
    RylStringView parent{reinterpret_cast<const RylChar16*>(0x1), 0xDEADBEEF};
    RylStringView name = parent;
    EXPECT_CODE(strings_->SplitParentAndName(bad, static_cast<uint32_t>(wcslen(bad)), &parent, &name),
                RYL_E_BAD_FORMAT)
        << bad;
    EXPECT_EQ(parent.length, 0xDEADBEEFu);
    EXPECT_EQ(name.length, 0xDEADBEEFu);
  }
  RylStringView view{};
  EXPECT_CODE(strings_->SplitParentAndName(L"a\\b", 3, nullptr, &view), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->SplitParentAndName(nullptr, 3, &view, &view), RYL_E_INVALID_ARG);
}

TEST_F(PathTextTest, GetDriveRoot_AcceptsTheDeviceAndVerbatimPrefixes) {
  const Case cases[] = {{L"C:\\x", L"C:\\"},
                        {L"C:foo", L"C:\\"},
                        {L"d:", L"d:\\"},
                        {L"\\\\?\\C:\\x", L"\\\\?\\C:\\"},
                        {L"\\??\\d:", L"\\??\\d:\\"},
                        {L"\\\\.\\C:", L"\\\\.\\C:\\"}};
  for (const Case& c : cases) {
    HostBuffer out(L"old");
    EXPECT_CODE(strings_->GetDriveRoot(out.Output(), c.input, static_cast<uint32_t>(wcslen(c.input))), RYL_OK);
    EXPECT_EQ(out.Text(), c.expected) << c.input;
    EXPECT_FALSE(out.Overrun());
  }
}

TEST_F(PathTextTest, GetDriveRoot_WithoutADriveLetterEmptiesTheOutputAndFails) {
  for (const wchar_t* bad : {L"\\\\server\\share", L"1:\\", L"\\\\?\\", L"C", L"", L"\\\\?\\UNC\\s\\x",
                             L"\\x:\\", L"\u00e9:\\"}) {
    HostBuffer out(L"old");
    EXPECT_CODE(strings_->GetDriveRoot(out.Output(), bad, static_cast<uint32_t>(wcslen(bad))), RYL_E_BAD_FORMAT)
        << bad;
    EXPECT_EQ(out.Text(), L"") << bad;
  }
}

TEST_F(PathTextTest, AppendComponent_InsertsOneSeparatorOnlyWhereNeeded) {
  const struct {
    const wchar_t* start;
    const wchar_t* component;
    const wchar_t* expected;
  } cases[] = {
      {L"", L"x", L"x"},
      {L"C:\\dir", L"x", L"C:\\dir\\x"},
      {L"C:\\dir\\", L"x", L"C:\\dir\\x"},
      {L"C:\\dir/", L"x", L"C:\\dir/x"},
      {L"C:\\dir", L"", L"C:\\dir\\"},
      {L"C:", L"x", L"C:\\x"},
  };
  for (const auto& c : cases) {
    HostBuffer out(c.start);
    EXPECT_CODE(strings_->AppendComponent(out.Output(), c.component, static_cast<uint32_t>(wcslen(c.component))),
                RYL_OK);
    EXPECT_EQ(out.Text(), c.expected) << c.start << L" + " << c.component;
    EXPECT_FALSE(out.Overrun());
  }
}

TEST_F(PathTextTest, AppendComponent_ComponentMayLiveInTheOutputItself) {
  HostBuffer out(L"C:\\dir");
  EXPECT_CODE(strings_->AppendComponent(out.Output(), out.data() + 3, 3), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\dir\\dir");

  // Growing in place keeps the component where it was.
  GrowableHostText inPlace(L"C:\\data");
  ASSERT_GE(inPlace.capacity(), 12u);
  EXPECT_CODE(strings_->AppendComponent(inPlace.Output(), inPlace.data() + 3, 4), RYL_OK);
  EXPECT_EQ(inPlace.Text(), L"C:\\data\\data");

  // Growing past the capacity moves the storage under the component.
  GrowableHostText moved(L"C:\\0123456789abc");
  const uint32_t before = moved.capacity();
  ASSERT_EQ(before, moved.size());
  EXPECT_CODE(strings_->AppendComponent(moved.Output(), moved.data() + 3, 13), RYL_OK);
  EXPECT_GT(moved.capacity(), before);
  EXPECT_EQ(moved.Text(), L"C:\\0123456789abc\\0123456789abc");
}

TEST_F(PathTextTest, MakeUniqueNameStem_IsPrefixAndAFreshIdentifier) {
  EXPECT_EQ(strings_->GetUniqueNameStemLength(), 40u);
  std::set<std::wstring> seen;
  for (int i = 0; i < 20; ++i) {
    HostBuffer out(L"old");
    ASSERT_CODE(strings_->MakeUniqueNameStem(out.Output()), RYL_OK);
    const std::wstring stem = out.Text();
    ASSERT_EQ(stem.size(), 40u);
    EXPECT_EQ(stem.substr(0, 4), L"vqz-");
    for (size_t k = 4; k < stem.size(); ++k) {
      const bool dash = k - 4 == 8 || k - 4 == 13 || k - 4 == 18 || k - 4 == 23;
      EXPECT_TRUE(dash ? stem[k] == L'-' : iswxdigit(stem[k]) != 0) << stem;
    }
    EXPECT_FALSE(out.Overrun());
    seen.insert(stem);
  }
  EXPECT_EQ(seen.size(), 20u);
}

TEST_F(PathTextTest, ReplaceExtension_CutsAtTheLastDotOfTheLastName) {
  const struct {
    const wchar_t* path;
    const wchar_t* extension;
    const wchar_t* expected;
  } cases[] = {
      {L"a\\b.txt", L"log", L"a\\b.log"}, {L"a\\b.txt", L".log", L"a\\b.log"}, {L"a\\b", L"log", L"a\\b.log"},
      {L"a.b\\c", L"x", L"a.b\\c.x"},     {L"a\\", L"log", L"a\\"},             {L"a/", L"log", L"a/"},
      {L"C:", L"log", L"C:"},             {L"C:x", L"log", L"C:x.log"},         {L"a.", L"txt", L"a.txt"},
      {L".profile", L"x", L".x"},         {L"a.tar.gz", L"bz2", L"a.tar.bz2"},
  };
  for (const auto& c : cases) {
    HostBuffer out(L"old");
    EXPECT_CODE(strings_->ReplaceExtension(out.Output(), c.path, static_cast<uint32_t>(wcslen(c.path)), c.extension,
                                           static_cast<uint32_t>(wcslen(c.extension))),
                RYL_OK);
    EXPECT_EQ(out.Text(), c.expected) << c.path << L" with " << c.extension;
    EXPECT_FALSE(out.Overrun());
  }
}

TEST_F(PathTextTest, ReplaceExtension_EmptyPathLeavesTheOutputAndEmptyExtensionIsRefused) {
  HostBuffer out(L"keep");
  EXPECT_CODE(strings_->ReplaceExtension(out.Output(), L"", 0, L"log", 3), RYL_OK);
  EXPECT_EQ(out.Text(), L"keep");
  EXPECT_EQ(out.resizes(), 0);
  EXPECT_CODE(strings_->ReplaceExtension(out.Output(), L"a.txt", 5, L"", 0), RYL_E_INVALID_ARG);
  EXPECT_EQ(out.Text(), L"keep");
}

TEST_F(PathTextTest, ReplaceExtension_PathMayLiveInTheOutputItself) {
  HostBuffer out(L"dir\\report.txt");
  EXPECT_CODE(strings_->ReplaceExtension(out.Output(), out.data(), out.size(), L"log", 3), RYL_OK);
  EXPECT_EQ(out.Text(), L"dir\\report.log");
}

TEST_F(PathTextTest, CombinePaths_FollowsTheRootOfTheRelativePath) {
  const struct {
    const wchar_t* base;
    const wchar_t* relative;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\dir", L"\\x", L"C:\\x"},
      {L"\\\\srv\\share\\d", L"\\x", L"\\x"},
      {L"C:\\dir\\", L"x", L"C:\\dir\\x"},
      {L"C:\\dir", L"x", L"C:\\dir\\x"},
      {L"C:\\dir", L"D:\\y", L"D:\\y"},
      {L"C:\\dir", L"\\\\srv\\s", L"\\\\srv\\s"},
      {L"", L"x", L"x"},
      {L"C:\\dir", L"", L"C:\\dir"},
      {L"", L"", L""},
      {L"C:", L"\\x", L"C:\\x"},
      {L"C:", L"x", L"C:\\x"},
      {L"dir", L"\\x", L"\\x"},
      {L"C:/dir", L"\\x", L"C:\\x"},
      {L"C:\\dir", L"..\\x\\.", L"C:\\dir\\..\\x\\."},
      {L"dir/", L"x", L"dir/x"},
  };
  for (const auto& c : cases) {
    HostBuffer out(L"old");
    EXPECT_CODE(strings_->CombinePaths(out.Output(), c.base, static_cast<uint32_t>(wcslen(c.base)), c.relative,
                                       static_cast<uint32_t>(wcslen(c.relative))),
                RYL_OK);
    EXPECT_EQ(out.Text(), c.expected) << c.base << L" + " << c.relative;
    EXPECT_FALSE(out.Overrun());
  }
}

TEST_F(PathTextTest, CombinePaths_BaseOrRelativeMayLiveInTheOutputItself) {
  HostBuffer out(L"C:\\dir");
  EXPECT_CODE(strings_->CombinePaths(out.Output(), out.data(), out.size(), L"file", 4), RYL_OK);
  EXPECT_EQ(out.Text(), L"C:\\dir\\file");

  HostBuffer rel(L"sub\\x");
  EXPECT_CODE(strings_->CombinePaths(rel.Output(), L"C:\\base", 7, rel.data(), rel.size()), RYL_OK);
  EXPECT_EQ(rel.Text(), L"C:\\base\\sub\\x");

  HostBuffer both(L"ab");
  EXPECT_CODE(strings_->CombinePaths(both.Output(), both.data(), 1, both.data() + 1, 1), RYL_OK);
  EXPECT_EQ(both.Text(), L"a\\b");
}

TEST_F(PathTextTest, CopySlots_PathMayLiveInTheOutputItself) {
  const std::wstring path = L"C:\\dir\\file.txt";
  const struct {
    Part part;
    const wchar_t* expected;
  } cases[] = {{Part::kExtension, L".txt"},
               {Part::kFileName, L"file.txt"},
               {Part::kStem, L"file"},
               {Part::kParent, L"C:\\dir"},
               {Part::kRoot, L"C:\\"}};
  for (const auto& c : cases) {
    HostBuffer out(path);
    EXPECT_CODE(Copy(c.part, out.Output(), out.data(), out.size()), RYL_OK);
    EXPECT_EQ(out.Text(), c.expected);
  }
  HostBuffer drive(L"\\\\?\\C:\\x");
  EXPECT_CODE(strings_->GetDriveRoot(drive.Output(), drive.data(), drive.size()), RYL_OK);
  EXPECT_EQ(drive.Text(), L"\\\\?\\C:\\");
}

TEST_F(PathTextTest, CopySlots_PassAFailingResizeOnUnchanged) {
  const std::wstring path = L"C:\\dir\\file.txt";
  const ResultCode hostCode = RYL_E_BUFFER_TOO_SMALL;
  auto check = [&](const char* what, auto call) {
    HostBuffer out(L"keep");
    out.FailResizeWith(hostCode);
    EXPECT_CODE(call(out.Output()), hostCode) << what;
    EXPECT_EQ(out.Text(), L"keep") << what;
  };
  check("GetExtension", [&](OutputBuffer* o) { return strings_->GetExtension(o, path.data(), Len(path)); });
  check("GetFileNamePart", [&](OutputBuffer* o) { return strings_->GetFileNamePart(o, path.data(), Len(path)); });
  check("GetStem", [&](OutputBuffer* o) { return strings_->GetStem(o, path.data(), Len(path)); });
  check("GetParentPath", [&](OutputBuffer* o) { return strings_->GetParentPath(o, path.data(), Len(path)); });
  check("GetRootPath", [&](OutputBuffer* o) { return strings_->GetRootPath(o, path.data(), Len(path)); });
  check("GetDriveRoot", [&](OutputBuffer* o) { return strings_->GetDriveRoot(o, path.data(), Len(path)); });
  check("GetDriveRoot (bad)", [&](OutputBuffer* o) { return strings_->GetDriveRoot(o, L"x", 1); });
  check("AppendComponent", [&](OutputBuffer* o) { return strings_->AppendComponent(o, L"x", 1); });
  check("MakeUniqueNameStem", [&](OutputBuffer* o) { return strings_->MakeUniqueNameStem(o); });
  check("ReplaceExtension", [&](OutputBuffer* o) { return strings_->ReplaceExtension(o, path.data(), Len(path), L"x", 1); });
  check("ReplaceExtension (dir)", [&](OutputBuffer* o) { return strings_->ReplaceExtension(o, L"a\\", 2, L"x", 1); });
  check("CombinePaths", [&](OutputBuffer* o) { return strings_->CombinePaths(o, L"a", 1, L"b", 1); });
  check("CombinePaths (aliased)", [&](OutputBuffer* o) {
    return strings_->CombinePaths(o, static_cast<const wchar_t*>(o->view.data), o->view.length, L"b", 1);
  });
}

TEST_F(PathTextTest, NullArguments_AreRefusedOrReadAsEmpty) {
  HostBuffer out(L"keep");
  EXPECT_CODE(strings_->GetExtension(out.Output(), nullptr, 4), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->CombinePaths(out.Output(), nullptr, 2, L"x", 1), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->AppendComponent(out.Output(), nullptr, 1), RYL_E_INVALID_ARG);
  EXPECT_EQ(out.Text(), L"keep");
  EXPECT_CODE(strings_->GetParentPath(nullptr, L"a\\b", 3), RYL_E_INVALID_ARG);
  EXPECT_CODE(strings_->MakeUniqueNameStem(nullptr), RYL_E_INVALID_ARG);
  EXPECT_EQ(strings_->GetRootLength(nullptr, 7), 0u);
  RylStringView view{reinterpret_cast<const RylChar16*>(0x1), 3};
  strings_->GetStemView(&view, nullptr, 9);
  EXPECT_EQ(view.data, nullptr);
  EXPECT_EQ(view.length, 0u);
}

TEST_F(PathTextTest, LongPaths_WorkInEveryTextOperation) {
  const std::wstring dir = PathOfLength(L"C:", L"\\deep", 700);
  ASSERT_EQ(dir.size(), 700u);
  const std::wstring file = dir + L"\\name.ext";

  EXPECT_EQ(std::wstring(View(Part::kParent, file).data, View(Part::kParent, file).length), dir);
  EXPECT_EQ(std::wstring(View(Part::kExtension, file).data, 4), L".ext");
  EXPECT_EQ(strings_->GetRootLength(file.data(), Len(file)), 3u);

  HostBuffer combined(dir);
  ASSERT_CODE(strings_->CombinePaths(combined.Output(), combined.data(), combined.size(), L"x", 1), RYL_OK);
  EXPECT_EQ(combined.Text(), dir + L"\\x");

  HostBuffer appended(dir);
  ASSERT_CODE(strings_->AppendComponent(appended.Output(), appended.data() + 3, 300), RYL_OK);
  EXPECT_EQ(appended.Text(), dir + L"\\" + dir.substr(3, 300));

  HostBuffer replaced(file);
  ASSERT_CODE(strings_->ReplaceExtension(replaced.Output(), replaced.data(), replaced.size(), L"txt", 3), RYL_OK);
  EXPECT_EQ(replaced.Text(), dir + L"\\name.txt");

  HostBuffer parent(file);
  ASSERT_CODE(strings_->GetParentPath(parent.Output(), parent.data(), parent.size()), RYL_OK);
  EXPECT_EQ(parent.Text(), dir);
  EXPECT_FALSE(parent.Overrun());

  EXPECT_EQ(std::wstring(View(Part::kStem, file).data, View(Part::kStem, file).length), L"name");
  EXPECT_EQ(std::wstring(View(Part::kFileName, file).data, View(Part::kFileName, file).length), L"name.ext");
  RylStringView splitParent{};
  RylStringView splitName{};
  ASSERT_CODE(strings_->SplitParentAndName(file.data(), Len(file), &splitParent, &splitName), RYL_OK);
  EXPECT_EQ(splitParent.length, dir.size());
  EXPECT_EQ(std::wstring(splitName.data, splitName.length), L"name.ext");

  const std::wstring verbatim = L"\\\\?\\" + file;
  HostBuffer drive;
  ASSERT_CODE(strings_->GetDriveRoot(drive.Output(), verbatim.data(), Len(verbatim)), RYL_OK);
  EXPECT_EQ(drive.Text(), L"\\\\?\\C:\\");
  EXPECT_EQ(strings_->IsAbsolutePath(verbatim.data(), Len(verbatim)), 1);
}

}  // namespace
}  // namespace ryl::test
