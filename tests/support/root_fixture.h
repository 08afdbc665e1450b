// Where every black-box suite starts: the DLL loaded and initialised and the
// root taken; and at the end the root given back (its release must be the
// destroying one: nothing may keep a reference) and the module finished.
// Suites that build on it call SetUp first and stop on a fatal failure.
#pragma once

#include <gtest/gtest.h>

#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

class RootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded());
    ASSERT_CODE(dll_.Init(), RYL_OK);
    void* root = nullptr;
    ASSERT_CODE(dll_.GetObject(kRylRootInterfaceId, &root), RYL_OK);
    root_ = static_cast<RootFactory*>(root);
  }

  void TearDown() override {
    if (root_ != nullptr) {
      EXPECT_EQ(root_->Release(), 0u);
    }
    EXPECT_CODE(dll_.Finish(), RYL_OK);
  }

  DllHost dll_;
  RootFactory* root_ = nullptr;
};

}  // namespace ryl::test
