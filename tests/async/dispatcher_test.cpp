// Dispatchers and tasks: posting, waiting, raising levels, destroying
// tasks and dispatchers in every order, and the shared dispatcher; then the
// same under load from several threads.
#include "async/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "async/dispatcher_factory.h"
#include "async_test_support.h"
#include "sys/bas_thread.h"

namespace ryl::async {
namespace {

using testing::Error;
using testing::Level;
using testing::Pending;
using testing::ReceiverInto;
using testing::ScriptedOperation;
using testing::State;
using testing::Tag;
using testing::TimerOperation;
using testing::Value;

struct DispatcherRef {
  RylDispatcher* d = nullptr;
  ~DispatcherRef() {
    if (d != nullptr) d->Release();
  }
};

RylDispatcher* NewDispatcher() {
  void* object = nullptr;
  const ObjectReceiver receiver = ReceiverInto(&object);
  EXPECT_EQ(CreateDispatcher(&receiver), RYL_OK);
  return static_cast<RylDispatcher*>(object);
}

RylTask* PostOrFail(RylDispatcher* d, RylOutcome outcome) {
  void* object = nullptr;
  const ObjectReceiver receiver = ReceiverInto(&object);
  EXPECT_EQ(d->Post(&outcome, &receiver), RYL_OK);
  EXPECT_EQ(outcome.tag, 0u) << "a posted outcome is moved into the task";
  return static_cast<RylTask*>(object);
}

RylOutcome WaitFor(RylTask* task) {
  RylOutcome out{};
  EXPECT_EQ(task->Wait(&out), RYL_OK);
  return out;
}

// Blocks in Run until released; a level of 2 or more answers at once.
class GateOperation final : public RylOperation, public RylWaitHandler {
 public:
  testing::EventWaitable gate;
  std::atomic<int> runs{0};
  std::vector<uint32_t> raised;  // worker thread only
  std::function<void()> onRaise;  // worker thread
  std::atomic<bool> released{false};

  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL Release() override { released = true; }
  void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t level) override {
    runs.fetch_add(1);
    if (level >= 2) return Finish(out, level);
    if (sink_ == nullptr) {
      sink_ = sink;
      loop_ = loop;
      (void)loop->AddWait(&gate, this);
    }
  }
  void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t newLevel, uint32_t) override {
    raised.push_back(newLevel);
    if (onRaise) onRaise();
    if (newLevel >= 2) Finish(out, newLevel);
  }
  void RYL_THISCALL OnSignalled(RylWaitable*, RylEventLoop* loop) override {
    loop->RemoveWait(&gate, this);
    RylOutcome done = Value();
    RylTaskSink* sink = sink_;
    sink_ = nullptr;
    sink->Complete(&done, loop);
  }

 private:
  void Finish(RylOutcome* out, uint32_t level) {
    if (sink_ != nullptr) loop_->RemoveWait(&gate, this);
    sink_ = nullptr;
    *out = Error(level == 3 ? RYL_E_OBJECT_CLOSED : RYL_E_INVALID_STATE, level);
  }
  RylTaskSink* sink_ = nullptr;
  RylEventLoop* loop_ = nullptr;
};

TEST(Dispatcher, AFinishedOutcomeCompletesAtOnceAndASecondWaitIsEmpty) {
  DispatcherRef ref{NewDispatcher()};
  uint32_t highest = 0;
  EXPECT_EQ(ref.d->Query(RYL_TYPE_DISPATCHER, 1, &highest), ref.d);
  EXPECT_EQ(highest, 1u);
  RylTask* task = PostOrFail(ref.d, Value());
  EXPECT_EQ(task->Query(RYL_TYPE_TASK, 1, nullptr), task);
  EXPECT_EQ(task->Query(RYL_TYPE_TASK_SINK, 1, nullptr), nullptr);
  EXPECT_EQ(State(WaitFor(task)), RYL_OUTCOME_VALUE);
  EXPECT_EQ(WaitFor(task).tag, 0u);
  task->Destroy();
}

TEST(Dispatcher, AnOperationRunsOnTheWorkerAndReportsThroughItsSink) {
  DispatcherRef ref{NewDispatcher()};
  TimerOperation op(20 * 10000);
  RylTask* task = PostOrFail(ref.d, Pending(&op));
  const RylOutcome out = WaitFor(task);
  EXPECT_EQ(State(out), RYL_OUTCOME_VALUE);
  EXPECT_EQ(op.releases.load(), 1);
  task->Destroy();
}

TEST(Dispatcher, PostRefusalsLeaveTheOutcomeAndQueueNothing) {
  DispatcherRef ref{NewDispatcher()};
  ScriptedOperation op;
  RylOutcome outcome = Pending(&op);
  void* object = nullptr;
  ObjectReceiver tooNew = ReceiverInto(&object, 2);
  EXPECT_EQ(ref.d->Post(&outcome, &tooNew), RYL_E_INVALID_ARG);
  ObjectReceiver refusing{&testing::kRefuseCallbacks, nullptr, 1, {}};
  EXPECT_EQ(ref.d->Post(&outcome, &refusing), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(ref.d->Post(&outcome, nullptr), RYL_E_INVALID_ARG);
  EXPECT_EQ(outcome.tag, Tag(RYL_OUTCOME_PENDING, 0));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(op.runs + op.releases, 0);
}

TEST(Dispatcher, SetLevelIsCappedAtTwoAndReachesAWaitingOperation) {
  DispatcherRef ref{NewDispatcher()};
  GateOperation op;
  RylTask* task = PostOrFail(ref.d, Pending(&op));
  while (op.runs.load() == 0) sys::RylBasThread::Sleep(1);
  task->SetLevel(0x303);  // low byte 3, capped to 2
  const RylOutcome out = WaitFor(task);
  EXPECT_EQ(out.tag, Tag(RYL_OUTCOME_ERROR, 2));
  EXPECT_EQ(static_cast<uint32_t>(out.payload), static_cast<uint32_t>(RYL_E_INVALID_STATE));
  EXPECT_EQ(op.raised, std::vector<uint32_t>{2});
  task->Destroy();
}

// A started task whose level is raised goes to the back of the queue: the
// tasks queued before it run first.
TEST(Dispatcher, ARaisedStartedTaskIsAppliedAfterTheTasksQueuedBeforeIt) {
  DispatcherRef ref{NewDispatcher()};
  GateOperation blocker;  // started, then waiting on the loop
  std::vector<int> order;
  std::mutex orderLock;
  blocker.onRaise = [&] {
    std::lock_guard<std::mutex> hold(orderLock);
    order.push_back(-1);
  };
  struct Marker final : RylOperation {
    std::vector<int>* order;
    std::mutex* lock;
    int id;
    void RYL_THISCALL Destroy() override {}
    void RYL_THISCALL Release() override {}
    void RYL_THISCALL Run(RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) override {
      std::lock_guard<std::mutex> hold(*lock);
      order->push_back(id);
      *out = Value();
    }
    void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t, uint32_t) override { *out = Value(); }
  };
  // Stall the worker with a task whose Run sleeps, so that the queue fills.
  struct Staller final : RylOperation {
    std::atomic<bool> go{false};
    void RYL_THISCALL Destroy() override {}
    void RYL_THISCALL Release() override {}
    void RYL_THISCALL Run(RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) override {
      while (!go.load()) sys::RylBasThread::Sleep(1);
      *out = Value();
    }
    void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t, uint32_t) override { *out = Value(); }
  } staller;

  RylTask* gated = PostOrFail(ref.d, Pending(&blocker));
  while (blocker.runs.load() == 0) sys::RylBasThread::Sleep(1);
  RylTask* stall = PostOrFail(ref.d, Pending(&staller));
  Marker markers[3];
  RylTask* marked[3];
  for (int i = 0; i < 3; ++i) {
    markers[i].order = &order;
    markers[i].lock = &orderLock;
    markers[i].id = i;
    marked[i] = PostOrFail(ref.d, Pending(&markers[i]));
  }
  gated->SetLevel(2);  // started, so it goes behind the three markers
  staller.go = true;
  EXPECT_EQ(WaitFor(gated).tag, Tag(RYL_OUTCOME_ERROR, 2));
  {
    std::lock_guard<std::mutex> hold(orderLock);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, -1}));
  }
  for (RylTask* t : marked) t->Destroy();
  stall->Destroy();
  gated->Destroy();
}

TEST(Dispatcher, DestroyingADispatcherEndsEveryQueuedTaskAtLevelThree) {
  RylDispatcher* d = NewDispatcher();
  struct Staller final : RylOperation {
    std::atomic<bool> go{false};
    std::atomic<bool> running{false};
    void RYL_THISCALL Destroy() override {}
    void RYL_THISCALL Release() override {}
    void RYL_THISCALL Run(RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) override {
      running = true;
      while (!go.load()) sys::RylBasThread::Sleep(1);
      *out = Value();
    }
    void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t l, uint32_t) override { *out = Value(l); }
  } staller;
  RylTask* stall = PostOrFail(d, Pending(&staller));
  while (!staller.running.load()) sys::RylBasThread::Sleep(1);
  constexpr int kQueued = 1000;
  std::vector<std::unique_ptr<ScriptedOperation>> ops;
  std::vector<RylTask*> tasks;
  for (int i = 0; i < kQueued; ++i) {
    ops.push_back(std::make_unique<ScriptedOperation>());
    ops.back()->onRaise = [](RylOutcome* out, uint32_t level, uint32_t) { *out = Error(RYL_E_OBJECT_CLOSED, level); };
    tasks.push_back(PostOrFail(d, Pending(ops.back().get())));
  }
  std::thread releaser([d] { EXPECT_EQ(d->Release(), 0u); });
  sys::RylBasThread::Sleep(20);
  staller.go = true;
  releaser.join();
  for (int i = 0; i < kQueued; ++i) {
    const RylOutcome out = WaitFor(tasks[i]);
    EXPECT_EQ(out.tag, Tag(RYL_OUTCOME_ERROR, 3)) << i;
    EXPECT_EQ(ops[i]->runs, 0) << "queued work is not begun by a dispatcher being destroyed";
    EXPECT_EQ(ops[i]->raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{3, 0}}));
    tasks[i]->Destroy();
  }
  EXPECT_EQ(State(WaitFor(stall)), RYL_OUTCOME_VALUE);
  stall->Destroy();
}

TEST(Dispatcher, DestroyingAnUnfinishedTaskEndsItsWorkFirst) {
  DispatcherRef ref{NewDispatcher()};
  GateOperation op;  // would wait for ever
  RylTask* task = PostOrFail(ref.d, Pending(&op));
  while (op.runs.load() == 0) sys::RylBasThread::Sleep(1);
  task->Destroy();
  EXPECT_TRUE(op.released.load());
  EXPECT_EQ(op.raised, std::vector<uint32_t>{3});
}

TEST(Dispatcher, AStartedTaskIsAbandonedAtThreeWhenItsDispatcherGoes) {
  RylDispatcher* d = NewDispatcher();
  GateOperation op;
  RylTask* task = PostOrFail(d, Pending(&op));
  while (op.runs.load() == 0) sys::RylBasThread::Sleep(1);
  EXPECT_EQ(d->Release(), 0u);
  EXPECT_EQ(WaitFor(task).tag, Tag(RYL_OUTCOME_ERROR, 3));
  task->Destroy();  // the dispatcher is gone; the task must not need it
}

TEST(Dispatcher, ATaskReleasingTheLastReferenceEndsTheDispatcherAfterItsLoop) {
  const int32_t before = Dispatcher::LiveCountForTesting();
  RylDispatcher* d = NewDispatcher();
  struct Releaser final : RylOperation {
    RylDispatcher* d;
    void RYL_THISCALL Destroy() override {}
    void RYL_THISCALL Release() override {}
    void RYL_THISCALL Run(RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) override {
      d->Release();
      *out = Value();
    }
    void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t l, uint32_t) override { *out = Value(l); }
  } releaser;
  releaser.d = d;
  RylTask* task = PostOrFail(d, Pending(&releaser));
  EXPECT_EQ(State(WaitFor(task)), RYL_OUTCOME_VALUE);
  task->Destroy();
  for (int i = 0; i < 2000 && Dispatcher::LiveCountForTesting() != before; ++i) sys::RylBasThread::Sleep(1);
  EXPECT_EQ(Dispatcher::LiveCountForTesting(), before);
}

TEST(SharedDispatcher, RacingThreadsShareOneAndTheLastReleaseEndsIt) {
  const int32_t before = Dispatcher::LiveCountForTesting();
  for (int round = 0; round < 20; ++round) {
    constexpr int kThreads = 8;
    std::vector<RylDispatcher*> got(kThreads, nullptr);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        ready.fetch_add(1);
        while (ready.load() < kThreads) {
        }
        void* object = nullptr;
        const ObjectReceiver receiver = ReceiverInto(&object);
        EXPECT_EQ(GetSharedDispatcher(&receiver), RYL_OK);
        got[i] = static_cast<RylDispatcher*>(object);
      });
    }
    for (auto& t : threads) t.join();
    for (int i = 1; i < kThreads; ++i) ASSERT_EQ(got[i], got[0]);
    EXPECT_EQ(Dispatcher::LiveCountForTesting(), before + 1);
    RylTask* task = PostOrFail(got[0], Value());
    EXPECT_EQ(State(WaitFor(task)), RYL_OUTCOME_VALUE);
    task->Destroy();
    threads.clear();
    for (int i = 0; i < kThreads; ++i) threads.emplace_back([&, i] { got[i]->Release(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(Dispatcher::LiveCountForTesting(), before) << "round " << round;
  }
  void* object = nullptr;
  ObjectReceiver tooNew = ReceiverInto(&object, 2);
  EXPECT_EQ(GetSharedDispatcher(&tooNew), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(CreateDispatcher(&tooNew), RYL_E_UNSUPPORTED_VERSION);
  ObjectReceiver refusing{&testing::kRefuseCallbacks, nullptr, 1, {}};
  EXPECT_EQ(GetSharedDispatcher(&refusing), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(CreateDispatcher(&refusing), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(Dispatcher::LiveCountForTesting(), before);
}

// Eight threads post 100,000 tasks in all. Each thread, by a fixed random
// plan, waits for some, raises the level of some while they run, and
// destroys some before they are done.
TEST(DispatcherStress, EightThreadsAHundredThousandTasks) {
  const int32_t before = Dispatcher::LiveCountForTesting();
  RylDispatcher* d = NewDispatcher();
  constexpr int kThreads = 8;
  constexpr int kPerThread = 12500;
  std::atomic<int> values{0}, stopped{0}, abandoned{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(1234 + t);
      std::vector<std::unique_ptr<TimerOperation>> ops;
      std::vector<RylTask*> open;
      for (int i = 0; i < kPerThread; ++i) {
        const uint32_t plan = random() % 8;
        RylOutcome outcome = Value();
        if (plan != 0) {
          ops.push_back(std::make_unique<TimerOperation>(static_cast<uint64_t>(random() % 3) * 10000));
          outcome = Pending(ops.back().get());
        }
        void* object = nullptr;
        const ObjectReceiver receiver = ReceiverInto(&object);
        ASSERT_EQ(d->Post(&outcome, &receiver), RYL_OK);
        auto* task = static_cast<RylTask*>(object);
        if (plan == 2) {
          task->Destroy();  // before it is done, most of the time
          ++abandoned;
        } else {
          if (plan == 1) task->SetLevel(2);
          open.push_back(task);
        }
        if (open.size() >= 64 || i + 1 == kPerThread) {
          for (RylTask* o : open) {
            RylOutcome out{};
            ASSERT_EQ(o->Wait(&out), RYL_OK);
            if (State(out) == RYL_OUTCOME_VALUE) {
              ++values;
            } else {
              ASSERT_EQ(State(out), RYL_OUTCOME_ERROR);
              ++stopped;
            }
            o->Destroy();
          }
          open.clear();
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(values + stopped + abandoned, kThreads * kPerThread);
  EXPECT_GT(values.load(), 0);
  EXPECT_EQ(TimerOperation::unreleased.load(), 0) << "every operation released exactly once";
  EXPECT_EQ(d->Release(), 0u);
  EXPECT_EQ(Dispatcher::LiveCountForTesting(), before);
}

}  // namespace
}  // namespace ryl::async
