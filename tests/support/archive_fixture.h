// The archive suites' start: the root taken and an archive factory created
// from root slot 4, delivered once; the factory is destroyed before the root
// is given back.
#pragma once

#include <gtest/gtest.h>

#include "support/default_heap.h"
#include "support/result_matchers.h"
#include "support/root_fixture.h"

namespace ryl::test {

class ArchiveTest : public RootTest {
 protected:
  void SetUp() override {
    RootTest::SetUp();
    if (HasFatalFailure()) return;
    StoringReceiver receiver(1);
    ASSERT_CODE(root_->CreateArchiveFactory(&receiver.record), RYL_OK);
    ASSERT_EQ(receiver.deliveries, 1);
    factory_ = static_cast<ArchiveFactory*>(receiver.object);
  }

  void TearDown() override {
    if (factory_ != nullptr) factory_->Destroy(&test::kDefaultHeap);
    RootTest::TearDown();
  }

  ArchiveFactory* factory_ = nullptr;
};

}  // namespace ryl::test
