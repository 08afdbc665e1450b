// The model's name lookup against a walk over its entries, after every step
// of random sequences of adds, directory adds, renames and removals, on
// archives with and without two entries of one name: the index must always
// give the first entry of a name, whichever separator the name is asked with.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/archive_model.h"
#include "archive/archive_operations.h"
#include "archive/zip_names.h"
#include "archive/zip_records.h"
#include "archive_test_support.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;

EntryRecord* Walk(ArchiveModel& model, std::u16string_view name) {
  for (auto& entry : model.entries()) {
    if (EntryNamesMatch(entry->header.name, name)) return entry.get();
  }
  return nullptr;
}

std::u16string WithBackslashes(std::u16string name) {
  for (char16_t& unit : name) {
    if (unit == u'/') unit = u'\\';
  }
  return name;
}

// Stored entries of the given names, duplicates allowed, as another tool
// may have written them.
Bytes ArchiveNamed(const std::vector<std::string>& names) {
  Bytes body;
  std::vector<Bytes> centrals;
  for (const std::string& name : names) {
    test::RawCentral central;
    central.name = name;
    central.localHeaderOffset = static_cast<uint32_t>(body.size());
    body += test::Le32(kLocalHeaderSignature) + test::Le16(10) + test::Le16(0) + test::Le16(0) + test::Le32(0) +
            test::Le32(0x12345678) + test::Le32(5) + test::Le32(5) + test::Le16(static_cast<uint16_t>(name.size())) +
            test::Le16(0) + name + "hello";
    centrals.push_back(test::CentralBytes(central));
  }
  return test::ArchiveOf(body, centrals);
}

void ExpectLookupsAgree(ArchiveModel& model, const std::vector<std::u16string>& names, const std::string& step) {
  for (const std::u16string& name : names) {
    for (const std::u16string& asked : {name, WithBackslashes(name), name + u"/"}) {
      ASSERT_EQ(model.Find(asked), Walk(model, asked)) << step;
    }
  }
}

TEST(ArchiveModelNames, LookupsAgreeWithAWalkThroughEveryKindOfChange) {
  const std::vector<std::u16string> pool = {u"a", u"b", u"c/d", u"c/e", u"f/", u"g", u"h/i/j", u"dup"};
  for (int seed = 0; seed < 40; ++seed) {
    auto stream = test::StreamOver(ArchiveNamed(seed % 2 == 0 ? std::vector<std::string>{"dup", "x/y", "dup", "a"}
                                                              : std::vector<std::string>{"c/d", "q"}));
    ArchiveModel model;
    ASSERT_CODE(model.AttachBorrowed(stream.get()), RYL_OK);
    std::vector<std::u16string> names = pool;
    names.push_back(u"x/y");
    names.push_back(u"q");
    std::mt19937 random(static_cast<uint32_t>(seed));
    ExpectLookupsAgree(model, names, "loaded");
    for (int step = 0; step < 60; ++step) {
      const std::u16string& name = pool[random() % pool.size()];
      const std::string what = "seed " + std::to_string(seed) + " step " + std::to_string(step);
      switch (random() % 4) {
        case 0: {
          EntryRecord* entry = nullptr;
          const ResultCode rc = model.AddEntry(name, &entry);
          EXPECT_TRUE(rc == RYL_OK || rc == RYL_E_ALREADY_EXISTS) << what;
          break;
        }
        case 1:
          (void)AddDirectoryEntry(&model, name);
          break;
        case 2:
          if (!model.entries().empty()) {
            EntryRecord* entry = model.entries()[random() % model.entries().size()].get();
            (void)SetEntryName(entry, name);
          }
          break;
        default:
          if (!model.entries().empty()) {
            model.RemoveEntry(model.entries()[random() % model.entries().size()].get());
          }
          break;
      }
      ExpectLookupsAgree(model, names, what);
    }
  }
}

TEST(ArchiveModelNames, TheFirstOfTwoEntriesOfOneNameIsFoundUntilItGoes) {
  auto stream = test::StreamOver(ArchiveNamed({"dup", "other", "dup"}));
  ArchiveModel model;
  ASSERT_CODE(model.AttachBorrowed(stream.get()), RYL_OK);
  ASSERT_EQ(model.entries().size(), 3u);
  EntryRecord* first = model.entries()[0].get();
  EntryRecord* second = model.entries()[2].get();
  EXPECT_EQ(model.Find(u"dup"), first);
  ASSERT_CODE(SetEntryName(first, u"renamed"), RYL_OK);
  EXPECT_EQ(model.Find(u"dup"), second);
  EXPECT_EQ(model.Find(u"renamed"), first);
  ASSERT_CODE(SetEntryName(first, u"dup"), RYL_OK);
  EXPECT_EQ(model.Find(u"dup"), first);
  model.RemoveEntry(first);
  EXPECT_EQ(model.Find(u"dup"), second);
  EXPECT_CODE(AddDirectoryEntry(&model, u"other"), RYL_E_ALREADY_EXISTS) << "the file other is there";
  EXPECT_CODE(AddDirectoryEntry(&model, u"made"), RYL_OK);
  EXPECT_CODE(AddDirectoryEntry(&model, u"made"), RYL_E_ALREADY_EXISTS);
  ASSERT_NE(model.Find(u"made\\"), nullptr);
  EXPECT_EQ(model.Find(u"made\\")->header.name, u"made/");
  EXPECT_EQ(model.Find(u"made"), nullptr);
}

}  // namespace
}  // namespace ryl::archive
