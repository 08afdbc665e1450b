// The event loop on the calling thread: registrations and their dispatch
// order, timers on the monotonic clock, wakers, and waits beyond the native
// 64-handle limit.
#include "async/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "async/monotonic_clock.h"
#include "async/wait_any.h"
#include "async_test_support.h"
#include "sys/bas_thread.h"

namespace ryl::async {
namespace {

using testing::EventWaitable;

// Calls a function on each signal.
struct CallbackHandler final : RylWaitHandler {
  std::function<void(RylWaitable*, RylEventLoop*)> call;
  int calls = 0;
  void RYL_THISCALL OnSignalled(RylWaitable* waitable, RylEventLoop* loop) override {
    ++calls;
    if (call) call(waitable, loop);
  }
};

struct RecordingTimer final : RylTimerHandler {
  std::vector<void*>* order;
  std::function<void(void*, RylEventLoop*)> call;
  void RYL_THISCALL OnTimer(void* context, RylEventLoop* loop) override {
    order->push_back(context);
    if (call) call(context, loop);
  }
};

struct CountingNotify final : RylLoopNotify {
  int calls = 0;
  void RYL_THISCALL AfterCallback() override { ++calls; }
};

TEST(EventLoop, AnEmptyLoopReturnsAtOnce) {
  EventLoop loop;
  EXPECT_EQ(loop.Run(), RYL_OK);
  uint32_t highest = 0;
  EXPECT_EQ(loop.Query(RYL_TYPE_EVENT_LOOP, 1, &highest), static_cast<RylEventLoop*>(&loop));
  EXPECT_EQ(highest, 1u);
  EXPECT_EQ(loop.Query(RYL_TYPE_EVENT_LOOP, 2, nullptr), nullptr);
  EXPECT_EQ(loop.Query(RYL_TYPE_DISPATCHER, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
}

TEST(EventLoop, TimersAloneAreSleptForAndFireInDueOrder) {
  EventLoop loop;
  CountingNotify notify;
  loop.SetNotify(&notify);
  std::vector<void*> order;
  RecordingTimer timer;
  timer.order = &order;
  int a, b, c;
  ASSERT_EQ(loop.AddTimerIn(&c, 30 * 10000, &timer), RYL_OK);
  ASSERT_EQ(loop.AddTimerIn(&a, 0, &timer), RYL_OK);
  ASSERT_EQ(loop.AddTimerIn(&b, 10 * 10000, &timer), RYL_OK);
  EXPECT_EQ(loop.Run(), RYL_OK);
  EXPECT_EQ(order, (std::vector<void*>{&a, &b, &c}));
  EXPECT_EQ(notify.calls, 3);
}

TEST(EventLoop, ATimerMayRearmItselfAndRemovedTimersDoNotFire) {
  EventLoop loop;
  std::vector<void*> order;
  RecordingTimer timer;
  timer.order = &order;
  int again, removed, never;
  timer.call = [&](void* context, RylEventLoop* l) {
    if (context == &again && order.size() < 3) (void)l->AddTimerIn(&again, 1000, &timer);
  };
  ASSERT_EQ(loop.AddTimerIn(&again, 0, &timer), RYL_OK);
  ASSERT_EQ(loop.AddTimerIn(&removed, 0, &timer), RYL_OK);
  loop.RemoveTimer(&removed, &timer);
  loop.RemoveTimer(&never, &timer);  // never added: ignored
  EXPECT_EQ(loop.Run(), RYL_OK);
  EXPECT_EQ(order, (std::vector<void*>{&again, &again, &again}));
}

TEST(EventLoop, ASecondTimerForOnePairMovesItAndFiresOnce) {
  EventLoop loop;
  std::vector<void*> order;
  RecordingTimer timer;
  timer.order = &order;
  int a;
  ASSERT_EQ(loop.AddTimerIn(&a, 0, &timer), RYL_OK);
  ASSERT_EQ(loop.AddTimerIn(&a, 5 * 10000, &timer), RYL_OK);
  EXPECT_EQ(loop.TimerCount(), 1u);
  EXPECT_EQ(loop.Run(), RYL_OK);
  EXPECT_EQ(order.size(), 1u);
}

// The system clock as the test sets it.
std::atomic<uint64_t> g_fakeNow{0};
ResultCode FakeTime(uint64_t* out) noexcept {
  *out = g_fakeNow.load();
  return RYL_OK;
}

TEST(EventLoop, ClockSetBackDoesNotDelayTimers) {
  struct Restore {
    ~Restore() { MonotonicClock::SetSourceForTesting(nullptr); }
  } restore;
  constexpr uint64_t kHour = 36000000000ull;
  g_fakeNow = 500 * kHour;
  MonotonicClock::SetSourceForTesting(&FakeTime);

  EventLoop loop;
  std::vector<void*> order;
  RecordingTimer timer;
  timer.order = &order;
  int early;
  std::atomic<bool> jumpedForward{false};
  std::atomic<bool> done{false};
  bool firedAfterJump = true;
  timer.call = [&](void*, RylEventLoop*) { firedAfterJump = jumpedForward.load(); };
  ASSERT_EQ(loop.AddTimerIn(&early, 20 * 10000, &timer), RYL_OK);  // due 20 ms from now
  // A ticking waitable makes the loop read the clock every millisecond or so.
  EventWaitable tick;
  CallbackHandler ticked;
  ticked.call = [&](RylWaitable* w, RylEventLoop* l) {
    (void)tick.event.Reset();
    if (done.load()) l->RemoveWait(w, &ticked);
  };
  ASSERT_EQ(loop.AddWait(&tick, &ticked), RYL_OK);
  // The clock goes an hour back, then runs on for 200 ms, then jumps two
  // hours forward. Were the jump back to count, the timer would wait for the
  // jump forward.
  std::thread mover([&] {
    sys::RylBasThread::Sleep(5);
    g_fakeNow -= kHour;
    for (int i = 0; i < 200; ++i) {
      sys::RylBasThread::Sleep(1);
      g_fakeNow += 10000;
      (void)tick.event.Set();
    }
    jumpedForward = true;
    g_fakeNow += 2 * kHour;
    done = true;
    (void)tick.event.Set();
  });
  EXPECT_EQ(loop.Run(), RYL_OK);
  mover.join();
  EXPECT_EQ(order, std::vector<void*>{&early});
  EXPECT_FALSE(firedAfterJump) << "the clock set back delayed the timer";
}

TEST(EventLoop, MonotonicClockAccumulatesEveryJumpBack) {
  struct Restore {
    ~Restore() { MonotonicClock::SetSourceForTesting(nullptr); }
  } restore;
  MonotonicClock::SetSourceForTesting(&FakeTime);
  MonotonicClock clock;
  uint64_t now = 0;
  const uint64_t readings[] = {1000, 1500, 900, 950, 100, 5000};
  const uint64_t expected[] = {1000, 1500, 1500, 1550, 1550, 6450};
  for (size_t i = 0; i < std::size(readings); ++i) {
    g_fakeNow = readings[i];
    ASSERT_EQ(clock.Read(&now), RYL_OK);
    EXPECT_EQ(now, expected[i]) << "reading " << i;
  }
  EXPECT_EQ(clock.FromSystemTime(6000), 6000 + 1450u);
}

TEST(EventLoop, OneShotRegistrationRunsOnceAndItsEntryGoes) {
  EventLoop loop;
  EventWaitable waitable;
  ASSERT_EQ(waitable.event.Set(), RYL_OK);
  CallbackHandler handler;
  ASSERT_EQ(loop.AddWaitOnce(&waitable, &handler), RYL_OK);
  EXPECT_EQ(loop.Run(), RYL_OK);
  EXPECT_EQ(handler.calls, 1);
  EXPECT_FALSE(loop.HasRegistrations());
}

TEST(EventLoop, RecordsOfOneWaitableRunInOrderAddedOnesWaitForTheNextPass) {
  EventLoop loop;
  EventWaitable waitable;
  ASSERT_EQ(waitable.event.Set(), RYL_OK);
  std::vector<int> calls;
  CallbackHandler first, second, added;
  first.call = [&](RylWaitable* w, RylEventLoop* l) {
    calls.push_back(1);
    if (first.calls == 1) {
      ASSERT_EQ(l->AddWaitOnce(w, &added), RYL_OK);
    }
  };
  second.call = [&](RylWaitable* w, RylEventLoop* l) {
    calls.push_back(2);
    if (second.calls == 2) {
      l->RemoveWait(w, &first);
      l->RemoveWait(w, &second);
    }
  };
  added.call = [&](RylWaitable*, RylEventLoop*) { calls.push_back(3); };
  ASSERT_EQ(loop.AddWait(&waitable, &first), RYL_OK);
  ASSERT_EQ(loop.AddWait(&waitable, &second), RYL_OK);
  EXPECT_EQ(loop.Run(), RYL_OK);
  // Pass 1: first (adds `added`), second. Pass 2: first, second (removes
  // both), added (one-shot). Nothing is left, so Run returns.
  EXPECT_EQ(calls, (std::vector<int>{1, 2, 1, 2, 3}));
}

TEST(EventLoop, AHandlerRemovedDuringItsEntrysPassIsNotCalledAgain) {
  EventLoop loop;
  EventWaitable waitable;
  ASSERT_EQ(waitable.event.Set(), RYL_OK);
  CallbackHandler remover, removed;
  remover.call = [&](RylWaitable* w, RylEventLoop* l) {
    l->RemoveWait(w, &removed);
    l->RemoveWait(w, &remover);
  };
  ASSERT_EQ(loop.AddWait(&waitable, &remover), RYL_OK);
  ASSERT_EQ(loop.AddWait(&waitable, &removed), RYL_OK);
  EXPECT_EQ(loop.Run(), RYL_OK);
  EXPECT_EQ(remover.calls, 1);
  EXPECT_EQ(removed.calls, 0);
  EXPECT_FALSE(loop.HasRegistrations());
}

TEST(EventLoop, RegistrationRefusalsAndHarmlessRemovals) {
  EventLoop loop;
  EventWaitable closed;
  closed.closed = true;
  CallbackHandler handler;
  EXPECT_EQ(loop.AddWait(&closed, &handler), RYL_E_INVALID_ARG);
  EXPECT_EQ(loop.AddWaitOnce(&closed, &handler), RYL_E_INVALID_ARG);
  EXPECT_FALSE(loop.HasRegistrations());
  EventWaitable open;
  loop.RemoveWait(&open, &handler);  // never registered
  ASSERT_EQ(loop.AddWait(&open, &handler), RYL_OK);
  CallbackHandler other;
  loop.RemoveWait(&open, &other);  // registered waitable, other handler
  EXPECT_TRUE(loop.HasRegistrations());
  loop.RemoveWait(&open, &handler);
  EXPECT_FALSE(loop.HasRegistrations());
}

TEST(EventLoop, AWaitableOfAnotherKindFailsTheRun) {
  EventLoop loop;
  EventWaitable odd;
  odd.kind = 4;
  CallbackHandler handler;
  ASSERT_EQ(loop.AddWait(&odd, &handler), RYL_OK);
  EXPECT_EQ(loop.Run(), RYL_E_UNSUPPORTED_VERSION);
}

struct CountingClient final : RylWakerClient {
  std::atomic<int> calls{0};
  std::function<void(RylEventLoop*)> call;
  void RYL_THISCALL OnWake(RylEventLoop* loop) override {
    calls.fetch_add(1);
    if (call) call(loop);
  }
};

TEST(EventLoop, AWakerWokenTwiceBeforeTheLoopRunsCallsItsClientOnce) {
  EventLoop loop;
  CountingClient client;
  RylWaker* waker = nullptr;
  ASSERT_EQ(loop.CreateWaker(&waker, &client), RYL_OK);
  waker->Wake();
  waker->Wake();
  client.call = [&](RylEventLoop* l) { l->RemoveWaker(waker); };
  EXPECT_EQ(loop.Run(), RYL_OK) << "removing the last waker lets the loop finish";
  EXPECT_EQ(client.calls.load(), 1);
}

TEST(EventLoop, WakersFromOtherThreadsEachGetTheirClientRun) {
  EventLoop loop;
  constexpr int kWakers = 4;
  constexpr int kRounds = 2000;
  CountingClient clients[kWakers];
  RylWaker* wakers[kWakers] = {};
  for (int i = 0; i < kWakers; ++i) ASSERT_EQ(loop.CreateWaker(&wakers[i], &clients[i]), RYL_OK);
  std::atomic<int> done{0};
  CountingClient stopper;
  RylWaker* stop = nullptr;
  ASSERT_EQ(loop.CreateWaker(&stop, &stopper), RYL_OK);
  stopper.call = [&](RylEventLoop* l) {
    if (done.load() != kWakers) return;
    for (RylWaker* w : wakers) l->RemoveWaker(w);
    l->RemoveWaker(stop);
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kWakers; ++i) {
    threads.emplace_back([&, i] {
      for (int r = 0; r < kRounds; ++r) wakers[i]->Wake();
      done.fetch_add(1);
      stop->Wake();
    });
  }
  EXPECT_EQ(loop.Run(), RYL_OK);
  for (auto& t : threads) t.join();
  for (int i = 0; i < kWakers; ++i) {
    EXPECT_GE(clients[i].calls.load(), 1);
    EXPECT_LE(clients[i].calls.load(), kRounds);
  }
}

// 200 waitables: beyond 64 the wait is split over auxiliary threads.
TEST(WaitForAny, BeyondSixtyFourHandlesTheLowestSignalledIsReported) {
  constexpr uint32_t kCount = 200;
  std::vector<std::unique_ptr<EventWaitable>> owned;
  std::vector<RylWaitable*> list;
  for (uint32_t i = 0; i < kCount; ++i) {
    owned.push_back(std::make_unique<EventWaitable>());
    list.push_back(owned.back().get());
  }
  uint32_t index = 0;
  EXPECT_EQ(WaitForAny(list.data(), kCount, 0, &index), RYL_W_TIMEOUT);
  // Signalled in an order unlike the list's, then reported lowest first
  // while each is reset after being reported.
  const uint32_t signalled[] = {199, 63, 64, 125, 126, 0, 62, 188, 127};
  for (uint32_t at : signalled) ASSERT_EQ(owned[at]->event.Set(), RYL_OK);
  std::vector<uint32_t> reported;
  for (size_t i = 0; i < std::size(signalled); ++i) {
    ASSERT_EQ(WaitForAny(list.data(), kCount, 1000, &index), RYL_OK) << "after " << ::testing::PrintToString(reported);
    reported.push_back(index);
    ASSERT_EQ(owned[index]->event.Reset(), RYL_OK);
  }
  EXPECT_EQ(reported, (std::vector<uint32_t>{0, 62, 63, 64, 125, 126, 127, 188, 199}));
  EXPECT_EQ(WaitForAny(list.data(), kCount, 10, &index), RYL_W_TIMEOUT);
}

TEST(WaitForAny, ASignalArrivingDuringAWaitBeyondTheLimitEndsIt) {
  constexpr uint32_t kCount = 150;
  std::vector<std::unique_ptr<EventWaitable>> owned;
  std::vector<RylWaitable*> list;
  for (uint32_t i = 0; i < kCount; ++i) {
    owned.push_back(std::make_unique<EventWaitable>(sys::RylBasEvent::kAutoReset));
    list.push_back(owned.back().get());
  }
  for (uint32_t target : {149u, 70u, 5u}) {
    std::thread signaller([&] {
      sys::RylBasThread::Sleep(20);
      (void)owned[target]->event.Set();
    });
    uint32_t index = 0;
    EXPECT_EQ(WaitForAny(list.data(), kCount, sys::kWaitForever, &index), RYL_OK);
    EXPECT_EQ(index, target);
    signaller.join();
  }
}

TEST(WaitForAny, RefusalsByKindClosureAndEmptiness) {
  uint32_t index = 0;
  EXPECT_EQ(WaitForAny(nullptr, 0, 0, &index), RYL_W_NOTHING_TO_WAIT);
  std::vector<std::unique_ptr<EventWaitable>> owned;
  std::vector<RylWaitable*> list;
  for (int i = 0; i < 70; ++i) {
    owned.push_back(std::make_unique<EventWaitable>());
    list.push_back(owned.back().get());
  }
  owned[69]->closed = true;
  EXPECT_EQ(WaitForAny(list.data(), 70, 0, &index), RYL_E_OBJECT_CLOSED);
  EXPECT_EQ(WaitForAny(list.data(), 60, 0, &index), RYL_W_TIMEOUT) << "closure is checked beyond 64 only";
  owned[3]->kind = 0;
  EXPECT_EQ(WaitForAny(list.data(), 60, 0, &index), RYL_E_UNSUPPORTED_VERSION);
}

TEST(EventLoop, TwoHundredRegistrationsDispatchTheSignalledOnes) {
  EventLoop loop;
  constexpr int kCount = 200;
  std::vector<std::unique_ptr<EventWaitable>> owned;
  std::vector<int> calls(kCount, 0);
  std::vector<CallbackHandler> handlers(kCount);
  for (int i = 0; i < kCount; ++i) {
    owned.push_back(std::make_unique<EventWaitable>());
    handlers[i].call = [&, i](RylWaitable* w, RylEventLoop* l) {
      ++calls[i];
      l->RemoveWait(w, &handlers[i]);
    };
    ASSERT_EQ(loop.AddWait(owned.back().get(), &handlers[i]), RYL_OK);
  }
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(owned[i]->event.Set(), RYL_OK);
  EXPECT_EQ(loop.Run(), RYL_OK);
  for (int i = 0; i < kCount; ++i) EXPECT_EQ(calls[i], 1) << i;
}

}  // namespace
}  // namespace ryl::async
