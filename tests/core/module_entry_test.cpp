// The module's start, its root slot under contention and its failure paths,
// driven through the code behind the exports with its test seams.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "module/module_entry.h"
#include "module/module_object.h"
#include "module/root_factory.h"
#include "support/result_matchers.h"
#include "sys/sys_module.h"

namespace ryl::module {
namespace {

TEST(ModuleEntry, InitFailureOfFirstStepIsReturnedAndNothingIsLeftToFinish) {
  const int before = sys::SysDllInitializationsForTesting();
  sys::SetInitFailureForTesting(1, RYL_E_ACCESS_DENIED);
  EXPECT_CODE(ModuleInit(), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(sys::SysDllInitializationsForTesting(), before);
}

TEST(ModuleEntry, InitFailureOfSecondStepUndoesTheFirst) {
  const int before = sys::SysDllInitializationsForTesting();
  sys::SetInitFailureForTesting(2, RYL_E_OUT_OF_MEMORY);
  EXPECT_CODE(ModuleInit(), RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(sys::SysDllInitializationsForTesting(), before);

  ASSERT_CODE(ModuleInit(), RYL_OK);
  EXPECT_EQ(sys::SysDllInitializationsForTesting(), before + 1);
  EXPECT_CODE(ModuleFinish(), RYL_OK);
  EXPECT_EQ(sys::SysDllInitializationsForTesting(), before);
}

TEST(ModuleEntry, RootThatCannotBeBuiltGivesOutOfMemoryAndLeavesTheSlotEmpty) {
  const int32_t live = RootObject::LiveCountForTesting();
  RootObject::FailBuildsForTesting(1);
  void* root = reinterpret_cast<void*>(0xDEADBEEF);
  EXPECT_CODE(GetRootObject(kRylRootInterfaceId, &root), RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(root, reinterpret_cast<void*>(0xDEADBEEF));
  EXPECT_EQ(TheModule().rootSlot.CountForTesting(), 0);
  EXPECT_EQ(TheModule().rootSlot.StateForTesting() & ~core::SharedInstanceSlot::kFlags, 0u);
  EXPECT_EQ(RootObject::LiveCountForTesting(), live);

  // The failure leaves nothing behind that stops the next request.
  ASSERT_CODE(GetRootObject(kRylRootInterfaceId, &root), RYL_OK);
  EXPECT_EQ(static_cast<RootFactory*>(root)->Release(), 0u);
  EXPECT_EQ(RootObject::LiveCountForTesting(), live);
}

TEST(ModuleEntry, RootIsRebuiltAfterTheLastRelease) {
  const int32_t built = RootObject::BuiltCountForTesting();
  void* first = nullptr;
  ASSERT_CODE(GetRootObject(kRylRootInterfaceId, &first), RYL_OK);
  EXPECT_EQ(static_cast<RootFactory*>(first)->Release(), 0u);
  EXPECT_EQ(RootObject::LiveCountForTesting(), 0);
  void* second = nullptr;
  ASSERT_CODE(GetRootObject(kRylRootInterfaceId, &second), RYL_OK);
  EXPECT_EQ(RootObject::BuiltCountForTesting(), built + 2);
  EXPECT_EQ(RootObject::LiveCountForTesting(), 1);
  EXPECT_EQ(static_cast<RootFactory*>(second)->Release(), 0u);
}

TEST(ModuleEntry, ThreadsRacingOnAnEmptySlotShareExactlyOneRoot) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_EQ(RootObject::LiveCountForTesting(), 0) << "round " << round;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<void*> roots(kThreads, nullptr);
    std::vector<ResultCode> results(kThreads, RYL_E_INVALID_STATE);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ready.fetch_add(1);
        while (!go.load()) std::this_thread::yield();
        results[t] = GetRootObject(kRylRootInterfaceId, &roots[t]);
      });
    }
    while (ready.load() != kThreads) std::this_thread::yield();
    go.store(true);
    for (auto& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
      ASSERT_CODE(results[t], RYL_OK);
      ASSERT_EQ(roots[t], roots[0]) << "round " << round;
    }
    // Losers destroyed their own copies before returning.
    ASSERT_EQ(RootObject::LiveCountForTesting(), 1) << "round " << round;

    // Release concurrently too: exactly one release destroys the root.
    std::atomic<int> zeros{0};
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        if (static_cast<RootFactory*>(roots[t])->Release() == 0) zeros.fetch_add(1);
      });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(zeros.load(), 1) << "round " << round;
    ASSERT_EQ(RootObject::LiveCountForTesting(), 0) << "round " << round;
  }
}

TEST(ModuleEntry, AcquireAndReleaseInterleavedNeverLoseOrDoubleFreeTheRoot) {
  constexpr int kThreads = 6;
  constexpr int kIterations = 3000;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kIterations; ++i) {
        void* root = nullptr;
        if (GetRootObject(kRylRootInterfaceId, &root) != RYL_OK || root == nullptr) {
          failures.fetch_add(1);
          continue;
        }
        uint32_t highest = 0;
        if (static_cast<RootFactory*>(root)->Query(1, 11, &highest) != root || highest != 11) failures.fetch_add(1);
        static_cast<RootFactory*>(root)->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(RootObject::LiveCountForTesting(), 0);
  EXPECT_EQ(TheModule().rootSlot.CountForTesting(), 0);
}

}  // namespace
}  // namespace ryl::module
