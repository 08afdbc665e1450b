#include "async/dispatcher.h"

#include <new>

#include "async/dispatcher_factory.h"
#include "async/outcome_ops.h"
#include "core/delivery.h"
#include "core/query.h"
#include "sys/heap.h"

namespace ryl::async {
namespace {

std::atomic<int32_t> g_liveDispatchers{0};

// An operation at level 3 must answer with a final outcome. One that still
// claims to be working would hold its task open for ever, so the task is
// given up as failed instead.
void GiveUpIfStillPending(RylOutcome& slot) noexcept {
  if (!IsPending(slot) || LevelOf(slot.tag) < RYL_LEVEL_ABANDON) return;
  OperationOf(slot)->Release();
  MakeError(slot, RYL_E_INVALID_STATE, RYL_LEVEL_ABANDON);
}

}  // namespace

Dispatcher::Dispatcher() noexcept { g_liveDispatchers.fetch_add(1); }

Dispatcher::~Dispatcher() { g_liveDispatchers.fetch_sub(1); }

int32_t Dispatcher::LiveCountForTesting() noexcept { return g_liveDispatchers.load(); }

Dispatcher* Dispatcher::Create(bool shared, ResultCode* outResult) noexcept {
  void* memory = sys::DefaultHeapAllocate(sizeof(Dispatcher));
  if (memory == nullptr) {
    *outResult = RYL_E_OUT_OF_MEMORY;
    return nullptr;
  }
  auto* dispatcher = ::new (memory) Dispatcher();
  dispatcher->shared_ = shared;
  const ResultCode started = dispatcher->Start();
  if (started < 0) {
    dispatcher->StopAndTearDown();
    *outResult = started;
    return nullptr;
  }
  *outResult = RYL_OK;
  return dispatcher;
}

ResultCode Dispatcher::Start() noexcept {
  ResultCode result = handOffReached_.Create(sys::RylBasEvent::kAutoReset, false);
  if (result >= 0) result = handOffReleased_.Create(sys::RylBasEvent::kAutoReset, false);
  if (result < 0) return result;
  loop_.SetNotify(&notify_);
  result = loop_.CreateWaker(&waker_, &queueClient_);
  if (result < 0) return result;
  result = worker_.StartThread(0, nullptr, 0, nullptr);
  if (result < 0) return result;
  threadStarted_ = true;
  return RYL_OK;
}

void RYL_THISCALL Dispatcher::Destroy() { StopAndTearDown(); }

uint32_t RYL_THISCALL Dispatcher::AddRef() {
  if (shared_) {
    (void)SharedDispatcherSlot().AddRef();
    const int32_t count = SharedDispatcherSlot().CountForTesting();
    return count > 0 ? static_cast<uint32_t>(count) : 1u;
  }
  return static_cast<uint32_t>(references_.fetch_add(1) + 1);
}

uint32_t RYL_THISCALL Dispatcher::Release() {
  if (shared_) return SharedDispatcherSlot().Release(static_cast<RylDispatcher*>(this), &DestroyShared);
  const int32_t left = references_.fetch_sub(1) - 1;
  if (left == 0) StopAndTearDown();
  return static_cast<uint32_t>(left < 0 ? 0 : left);
}

void Dispatcher::DestroyShared(void* object) noexcept {
  static_cast<Dispatcher*>(static_cast<RylDispatcher*>(object))->StopAndTearDown();
}

void* RYL_THISCALL Dispatcher::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylDispatcher*>(this), RYL_TYPE_DISPATCHER, kHighestVersion, type, version,
                           outHighest);
}

ResultCode RYL_THISCALL Dispatcher::Post(RylOutcome* outcome, const ObjectReceiver* taskReceiver) {
  if (outcome == nullptr || taskReceiver == nullptr || taskReceiver->callbacks == nullptr) return RYL_E_INVALID_ARG;
  void* memory = sys::DefaultHeapAllocate(sizeof(Task));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  auto* task = ::new (memory) Task(this);
  TaskCreated();
  ResultCode result = task->completion_.Create(sys::RylBasEvent::kManualReset, false);
  if (result >= 0) {
    sys::CriticalSectionLock hold(loop_.lock());
    if (result_ < 0) {
      result = result_;
    } else if (taskReceiver->requestedVersion >= 2) {
      result = RYL_E_INVALID_ARG;
    } else {
      result = core::CallDeliver(taskReceiver, task->task());
    }
    if (result >= 0) {
      MoveAssign(task->slot_, *outcome);
      queue_.PushBack(task);
      task->inQueue_ = true;
      WakeLocked();
    }
  }
  if (result < 0) {
    core::DestroyDefaultHeapObject(task);
    LetGo();
  }
  return result;
}

void Dispatcher::WakeLocked() noexcept {
  if (wakePending_ || waker_ == nullptr) return;
  waker_->Wake();
  wakePending_ = true;
}

void Dispatcher::Requeue(Task* task, uint8_t level) noexcept {
  if (!task->IsLinked() || level <= task->requestedLevel_) return;
  task->requestedLevel_ = level;
  if (task->inQueue_) return;
  TaskList::Unlink(task);
  queue_.PushBack(task);
  task->inQueue_ = true;
  WakeLocked();
}

void Dispatcher::ProcessQueue() noexcept {
  sys::RylCriticalSection& lock = loop_.lock();
  lock.Enter();
  while (!stopping_ && !queue_.IsEmpty()) {
    Task* task = Task::FromTaskLinks(queue_.Front());
    TaskList::Unlink(task);
    started_.PushBack(task);
    task->inQueue_ = false;
    const uint8_t level = task->requestedLevel_;
    lock.Leave();
    Execute(task, level);
    HandOff();
    lock.Enter();
  }
  if (stopping_) {
    // Work not yet begun is not begun now, and work under way is told to
    // finish at once: a dispatcher being destroyed ends every task at level 3.
    for (TaskLinks* next = queue_.Front(); next != nullptr || (next = started_.Front()) != nullptr;
         next = queue_.Front()) {
      lock.Leave();
      Abandon(Task::FromTaskLinks(next));
      lock.Enter();
    }
    loop_.RemoveWaker(waker_);
    waker_ = nullptr;
  }
  wakePending_ = false;
  lock.Leave();
}

void Dispatcher::Execute(Task* task, uint8_t level) noexcept {
  if (level > task->appliedLevel_) {
    task->appliedLevel_ = level;
    if (task->started_) {
      RaiseLevelAndDrive(task->slot_, level, task->sink(), &loop_);
    } else {
      RaiseLevel(task->slot_, level);
    }
  }
  if (!task->started_ && IsPending(task->slot_)) {
    task->started_ = true;
    StartOutcome(task->slot_, task->sink(), &loop_);
  }
  GiveUpIfStillPending(task->slot_);
  if (!IsPending(task->slot_)) Finish(task);
}

void Dispatcher::Abandon(Task* task) noexcept {
  if (task->started_) {
    RaiseLevelAndDrive(task->slot_, RYL_LEVEL_ABANDON, task->sink(), &loop_);
  } else {
    RaiseLevel(task->slot_, RYL_LEVEL_ABANDON);
  }
  task->appliedLevel_ = RYL_LEVEL_ABANDON;
  GiveUpIfStillPending(task->slot_);
  Finish(task);
  HandOff();
}

void Dispatcher::Finish(Task* task) noexcept {
  if (task->completed_.load()) return;
  // One callback may finish several tasks; the earlier ones are no longer
  // touched, so their destroyers may go on.
  if (completingNow_ != nullptr && completingNow_ != task) HandOff();
  {
    sys::CriticalSectionLock hold(loop_.lock());
    TaskList::Unlink(task);
    task->inQueue_ = false;
    completingNow_ = task;
    task->completed_.store(true);
  }
  (void)task->completion_.Set();
}

void Dispatcher::HandOff() noexcept {
  sys::RylCriticalSection& lock = loop_.lock();
  lock.Enter();
  if (completingNow_ == nullptr) {
    lock.Leave();
    return;
  }
  completingNow_ = nullptr;
  if (!destroyerWaiting_) {
    lock.Leave();
    return;
  }
  destroyerWaiting_ = false;
  lock.Leave();
  (void)handOffReached_.Set();
  (void)handOffReleased_.Wait(sys::kWaitForever);
}

void Dispatcher::DestroyerHandOff(Task* task) noexcept {
  sys::RylCriticalSection& lock = loop_.lock();
  lock.Enter();
  if (completingNow_ != task) {
    lock.Leave();
    return;
  }
  if (worker_.IsCurrentThread()) {
    // Destroyed from a callback on the worker itself: there is no one to
    // wait for, and the worker must not touch the task again.
    completingNow_ = nullptr;
    lock.Leave();
    return;
  }
  destroyerWaiting_ = true;
  lock.Leave();
  (void)handOffReached_.Wait(sys::kWaitForever);
  (void)handOffReleased_.Set();
}

ResultCode Dispatcher::WorkerMain() noexcept {
  const ResultCode ran = loop_.Run();
  sys::RylCriticalSection& lock = loop_.lock();
  lock.Enter();
  if (ran < 0) result_ = RYL_E_WORKER_FAILED;
  for (TaskLinks* next = queue_.Front(); next != nullptr || (next = started_.Front()) != nullptr;
       next = queue_.Front()) {
    lock.Leave();
    Abandon(Task::FromTaskLinks(next));
    lock.Enter();
  }
  const bool endsItself = destroyOnExit_;
  lock.Leave();
  if (endsItself) {
    worker_.Detach();
    FinishTearDown();
  }
  return ran;
}

void Dispatcher::StopAndTearDown() noexcept {
  if (threadStarted_) {
    const bool onWorker = worker_.IsCurrentThread();
    {
      sys::CriticalSectionLock hold(loop_.lock());
      stopping_ = true;
      destroyOnExit_ = onWorker;
      WakeLocked();
    }
    // The last reference was given up by a task on the worker itself: the
    // worker finishes the tear-down once its loop returns.
    if (onWorker) return;
    (void)worker_.StopThread(sys::kWaitForever);
  }
  FinishTearDown();
}

void Dispatcher::FinishTearDown() noexcept {
  handOffReached_.FreeResource();
  handOffReleased_.FreeResource();
  loop_.TearDownKeepingLock();
  LetGo();
}

void Dispatcher::LetGo() noexcept {
  if (keepAlive_.fetch_sub(1) == 1) core::DestroyDefaultHeapObject(this);
}

}  // namespace ryl::async
