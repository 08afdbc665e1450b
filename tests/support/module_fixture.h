// What most black-box suites start from: the root taken and both embedded
// services delivered. They live inside the root: nothing to give back.
#pragma once

#include <gtest/gtest.h>

#include "support/result_matchers.h"
#include "support/root_fixture.h"

namespace ryl::test {

class ModuleTest : public RootTest {
 protected:
  void SetUp() override {
    RootTest::SetUp();
    if (HasFatalFailure()) return;
    StoringReceiver strings(RYL_VERSION_STRING_SERVICE);
    ASSERT_CODE(root_->GetStringService(&strings.record), RYL_OK);
    strings_ = static_cast<StringService*>(strings.object);
    StoringReceiver fs(RYL_VERSION_FILE_SYSTEM_SERVICE);
    ASSERT_CODE(root_->GetFileSystemService(&fs.record), RYL_OK);
    fs_ = static_cast<FileSystemService*>(fs.object);
  }

  StringService* strings_ = nullptr;
  FileSystemService* fs_ = nullptr;
};

}  // namespace ryl::test
