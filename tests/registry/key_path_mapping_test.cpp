// The text rules of the registry views, table by table.
#include "registry/key_path_mapping.h"

#include <gtest/gtest.h>

#include <string>

namespace ryl::registry {
namespace {

std::string Narrow(const KeyText& text) { return std::string(text.begin(), text.end()); }

struct ViewRow {
  const char16_t* base;
  const char16_t* subkey;  // null: none
  bool mapped;
  bool relative;
  const char16_t* name;
};

TEST(ThirtyTwoBitView, InsertionsAndWholeComponentNodes) {
  const ViewRow rows[] = {
      {u"\\REGISTRY\\MACHINE", u"Software\\Foo", true, false, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\FOO"},
      {u"\\REGISTRY\\MACHINE", u"Software\\Classes\\Foo", true, false,
       u"\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\Wow6432Node\\FOO"},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE", nullptr, true, false, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node"},
      // The prefix test needs no separator after it.
      {u"\\REGISTRY\\MACHINE", u"SoftwareX", true, false, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432NodeX"},
      {u"\\REGISTRY\\Machine", u"software\\foo", true, false, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\FOO"},
      {u"\\REGISTRY\\MACHINE", u"System\\Foo", false, false, nullptr},
      // Already in the 32-bit view: a whole-component node.
      {u"\\REGISTRY\\MACHINE", u"Software\\Wow6432Node\\Foo", false, false, nullptr},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", nullptr, false, false, nullptr},
      // Not a whole component: the insertion rules apply.
      {u"\\REGISTRY\\MACHINE", u"Software\\Wow6432NodeX", true, false,
       u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\WOW6432NODEX"},
      // A root inside the node and a subkey naming it again: no second level.
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", u"Wow6432Node", true, true, u""},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", u"A\\Wow6432Node\\B", true, true, u"A\\B"},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", u"Foo", false, false, nullptr},
      // User hives.
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_Classes", nullptr, true, false,
       u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_CLASSES\\Wow6432Node"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001", nullptr, false, false, nullptr},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_Classes", u"CLSID", true, false,
       u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_CLASSES\\Wow6432Node\\CLSID"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001", u"Software\\Classes\\CLSID", true, false,
       u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\SOFTWARE\\CLASSES\\Wow6432Node\\CLSID"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001", u"Software\\Foo", false, false, nullptr},
      {u"\\REGISTRY\\USER", nullptr, false, false, nullptr},
      {u"\\REGISTRY\\USER\\.DEFAULT", u"Software\\Classes", true, false,
       u"\\REGISTRY\\USER\\.DEFAULT\\SOFTWARE\\CLASSES\\Wow6432Node"},
  };
  for (const ViewRow& row : rows) {
    const KeyText base(row.base);
    const KeyText subkey(row.subkey == nullptr ? u"" : row.subkey);
    SCOPED_TRACE(Narrow(base) + " + " + (row.subkey == nullptr ? "(none)" : Narrow(subkey)));
    const ViewMapping view =
        MapTo32BitView(base, subkey.data(), static_cast<uint32_t>(subkey.size()), row.subkey != nullptr);
    EXPECT_EQ(view.mapped, row.mapped);
    if (!row.mapped) continue;
    EXPECT_EQ(view.relativeToRoot, row.relative);
    EXPECT_EQ(view.clearView32, !row.relative) << "an insertion clears KEY_WOW64_32KEY";
    EXPECT_EQ(Narrow(view.name), Narrow(row.name));
  }
}

TEST(ThirtyTwoBitView, OnlyTheFirstNodeCountsForWholeness) {
  EXPECT_EQ(FindWholeWow64Node(u"\\A\\WOW6432NODEX\\WOW6432NODE"), KeyText::npos);
  EXPECT_EQ(FindWholeWow64Node(u"\\A\\WOW6432NODE"), 2u);
  EXPECT_EQ(FindWholeWow64Node(u"\\A\\WOW6432NODE\\B"), 2u);
  EXPECT_EQ(FindWholeWow64Node(u"WOW6432NODE"), KeyText::npos) << "the node needs its separator";
}

TEST(ClassesPath, RelativeToMachineOrUser) {
  struct Row {
    const char16_t* name;
    ResultCode result;
    bool machine;
    const char16_t* path;
  };
  const Row rows[] = {
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_Classes\\Foo", RYL_OK, false, u"SOFTWARE\\CLASSES\\Foo"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_Classes", RYL_OK, false, u"SOFTWARE\\CLASSES"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_classes\\A\\B", RYL_OK, false, u"SOFTWARE\\CLASSES\\A\\B"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\Software\\Foo", RYL_OK, false, u"Software\\Foo"},
      {u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001", RYL_OK, false, u""},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Foo", RYL_OK, true, u"SOFTWARE\\Classes\\Foo"},
      {u"\\REGISTRY\\Machine\\Software\\Classes", RYL_OK, true, u"Software\\Classes"},
      {u"\\REGISTRY\\MACHINE", RYL_OK, true, u""},
      {u"\\REGISTRY\\MACHIN", RYL_E_INVALID_ARG, false, nullptr},
      {u"", RYL_E_INVALID_ARG, false, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    ClassesPath out;
    ASSERT_EQ(ClassesRelativePath(row.name, &out), row.result);
    if (row.result < 0) continue;
    EXPECT_EQ(out.isMachine, row.machine);
    EXPECT_EQ(Narrow(out.path), Narrow(row.path));
  }
}

TEST(CreatedPaths, DoubledNodesCollapseKeepingTheCallersCase) {
  const struct {
    const char16_t* in;
    const char16_t* out;
  } rows[] = {
      {u"A\\Wow6432Node\\Wow6432Node\\B", u"A\\Wow6432Node\\B"},
      {u"A\\wow6432node\\WOW6432NODE\\wow6432Node\\B", u"A\\wow6432Node\\B"},
      {u"A\\Wow6432Node\\B", u"A\\Wow6432Node\\B"},
      {u"Wow6432Node\\Wow6432Node", u"Wow6432Node\\Wow6432Node"},  // no leading separator: not doubled
      {u"", u""},
  };
  for (const auto& row : rows) EXPECT_EQ(Narrow(CollapseDoubledNodes(row.in)), Narrow(row.out)) << Narrow(row.in);
}

TEST(UpperCase, AsciiFastPathAndTheSystemTableBeyond) {
  EXPECT_EQ(Narrow(UpperCaseKeyText(u"azAZ`{09_\\", 10)), "AZAZ`{09_\\");
  const KeyText accented = UpperCaseKeyText(u"\u00e9\u00c9", 2);
  EXPECT_EQ(accented[1], u'\u00c9');
}

}  // namespace
}  // namespace ryl::registry
