// What most black-box suites start from: the DLL loaded and initialised, the
// root taken, both embedded services delivered; and at the end the root given
// back (its release must be the destroying one: nothing may keep a
// reference) and the module finished.
#pragma once

#include <gtest/gtest.h>

#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded());
    ASSERT_CODE(dll_.Init(), RYL_OK);
    void* root = nullptr;
    ASSERT_CODE(dll_.GetObject(kRylRootInterfaceId, &root), RYL_OK);
    root_ = static_cast<RootFactory*>(root);
    StoringReceiver strings(RYL_VERSION_STRING_SERVICE);
    ASSERT_CODE(root_->GetStringService(&strings.record), RYL_OK);
    strings_ = static_cast<StringService*>(strings.object);
    StoringReceiver fs(RYL_VERSION_FILE_SYSTEM_SERVICE);
    ASSERT_CODE(root_->GetFileSystemService(&fs.record), RYL_OK);
    fs_ = static_cast<FileSystemService*>(fs.object);
  }

  void TearDown() override {
    if (root_ != nullptr) {
      EXPECT_EQ(root_->Release(), 0u);
    }
    EXPECT_CODE(dll_.Finish(), RYL_OK);
  }

  DllHost dll_;
  RootFactory* root_ = nullptr;
  StringService* strings_ = nullptr;
  FileSystemService* fs_ = nullptr;
};

}  // namespace ryl::test
