// The slot on its own, with counted objects, so the lock-free rules can be
// checked without a root.
#include "core/shared_instance_slot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/result_matchers.h"

namespace ryl::core {
namespace {

std::atomic<int> g_built{0};
std::atomic<int> g_destroyed{0};
std::atomic<bool> g_failBuild{false};

struct alignas(8) Counted {
  int value = 42;
};

void* BuildCounted() noexcept {
  if (g_failBuild.load()) return nullptr;
  g_built.fetch_add(1);
  return new (std::nothrow) Counted;
}

void DestroyCounted(void* object) noexcept {
  g_destroyed.fetch_add(1);
  delete static_cast<Counted*>(object);
}

class SharedInstanceSlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_built = 0;
    g_destroyed = 0;
    g_failBuild = false;
  }
  SharedInstanceSlot slot_;
};

TEST_F(SharedInstanceSlotTest, FirstAcquireBuildsAndPublishesWithAcquiredSet) {
  void* object = nullptr;
  ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_OK);
  EXPECT_EQ(g_built.load(), 1);
  EXPECT_EQ(slot_.CountForTesting(), 1);
  EXPECT_EQ(slot_.StateForTesting(), reinterpret_cast<uintptr_t>(object) | SharedInstanceSlot::kAcquired);
  EXPECT_EQ(slot_.Release(object, DestroyCounted), 0u);
  EXPECT_EQ(g_destroyed.load(), 1);
  EXPECT_EQ(slot_.StateForTesting(), 0u);
}

TEST_F(SharedInstanceSlotTest, AddRefOnAnEmptySlotTakesNothing) {
  EXPECT_CODE(slot_.AddRef(), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(slot_.CountForTesting(), 0);
  // The flag it leaves does not stop the next builder.
  void* object = nullptr;
  ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_OK);
  EXPECT_EQ(slot_.Release(object, DestroyCounted), 0u);
}

TEST_F(SharedInstanceSlotTest, ReleaseWithOtherReferencesLeftKeepsTheObject) {
  void* object = nullptr;
  ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_OK);
  ASSERT_CODE(slot_.AddRef(), RYL_OK);
  EXPECT_EQ(slot_.Release(object, DestroyCounted), 1u);
  EXPECT_EQ(g_destroyed.load(), 0);
  EXPECT_EQ(static_cast<Counted*>(object)->value, 42);
  EXPECT_EQ(slot_.Release(object, DestroyCounted), 0u);
  EXPECT_EQ(g_destroyed.load(), 1);
}

TEST_F(SharedInstanceSlotTest, ReleaseOfAnObjectNoLongerInTheSlotLeavesTheNewOneAlone) {
  void* object = nullptr;
  ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_OK);
  Counted stranger;
  // The count reaches zero, but the expected object is not the published one.
  EXPECT_EQ(slot_.Release(&stranger, DestroyCounted), 1u);
  EXPECT_EQ(g_destroyed.load(), 0);
  ASSERT_CODE(slot_.AddRef(), RYL_OK);
  EXPECT_EQ(slot_.Release(object, DestroyCounted), 0u);
  EXPECT_EQ(g_destroyed.load(), 1);
}

TEST_F(SharedInstanceSlotTest, FailedBuildGivesBackTheCount) {
  g_failBuild = true;
  void* object = reinterpret_cast<void*>(0x1234);
  EXPECT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(slot_.CountForTesting(), 0);
  EXPECT_EQ(slot_.StateForTesting() & ~SharedInstanceSlot::kFlags, 0u);
  g_failBuild = false;
  ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_OK);
  EXPECT_EQ(slot_.Release(object, DestroyCounted), 0u);
}

TEST_F(SharedInstanceSlotTest, RacingAcquirersKeepOneObjectAndLosersDestroyTheirs) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 300; ++round) {
    g_built = 0;
    g_destroyed = 0;
    std::atomic<bool> go{false};
    std::vector<void*> objects(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        while (!go.load()) std::this_thread::yield();
        ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &objects[t]), RYL_OK);
      });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    for (void* object : objects) ASSERT_EQ(object, objects[0]);
    ASSERT_EQ(g_built.load() - g_destroyed.load(), 1) << "round " << round;
    ASSERT_EQ(slot_.CountForTesting(), kThreads);
    for (int t = 0; t < kThreads - 1; ++t) ASSERT_EQ(slot_.Release(objects[t], DestroyCounted), 1u);
    ASSERT_EQ(slot_.Release(objects[0], DestroyCounted), 0u);
    ASSERT_EQ(g_built.load(), g_destroyed.load());
  }
}

TEST_F(SharedInstanceSlotTest, AddRefRacingTheLastReleaseNeverUsesADestroyedObject) {
  // One thread repeatedly builds and releases; others take and give back
  // references without building. Every object built is destroyed exactly once.
  std::atomic<bool> stop{false};
  std::atomic<int> badReads{0};
  std::vector<std::thread> helpers;
  for (int t = 0; t < 3; ++t) {
    helpers.emplace_back([&] {
      while (!stop.load()) {
        void* object = nullptr;
        if (slot_.Acquire(BuildCounted, DestroyCounted, &object) != RYL_OK) continue;
        if (static_cast<Counted*>(object)->value != 42) badReads.fetch_add(1);
        slot_.Release(object, DestroyCounted);
      }
    });
  }
  for (int i = 0; i < 20000; ++i) {
    void* object = nullptr;
    ASSERT_CODE(slot_.Acquire(BuildCounted, DestroyCounted, &object), RYL_OK);
    slot_.Release(object, DestroyCounted);
  }
  stop = true;
  for (auto& thread : helpers) thread.join();
  EXPECT_EQ(badReads.load(), 0);
  EXPECT_EQ(slot_.CountForTesting(), 0);
  EXPECT_EQ(g_built.load(), g_destroyed.load());
}

}  // namespace
}  // namespace ryl::core
