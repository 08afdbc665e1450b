// A worker thread with its own event loop. Callers post outcomes; each
// becomes a task queued for the worker, which drives the task's operation
// until it is final and then sets the task's completion event.
#pragma once

#include <atomic>
#include <cstdint>

#include "async/event_loop.h"
#include "async/task.h"
#include "async/task_list.h"
#include "ryl/async.h"
#include "sys/bas_event.h"
#include "sys/bas_thread.h"

namespace ryl::async {

class Dispatcher final : public RylDispatcher {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_DISPATCHER;

  // A started dispatcher with one reference, on the default heap, or null
  // with *outResult the failure. A shared one counts its references in the
  // process-wide slot instead.
  [[nodiscard]] static Dispatcher* Create(bool shared, ResultCode* outResult) noexcept;

  void RYL_THISCALL Destroy() override;
  uint32_t RYL_THISCALL AddRef() override;
  uint32_t RYL_THISCALL Release() override;
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL Post(RylOutcome* outcome, const ObjectReceiver* taskReceiver) override;

  // The shared dispatcher's slot ends it through this.
  static void DestroyShared(void* object) noexcept;

  // For tests and diagnostics: dispatchers whose memory is still held.
  static int32_t LiveCountForTesting() noexcept;

  // Only the last holder of the memory runs it (see keepAlive_).
  ~Dispatcher();

 private:
  friend class Task;

  Dispatcher() noexcept;

  class Notify final : public RylLoopNotify {
   public:
    explicit Notify(Dispatcher* owner) noexcept : owner_(owner) {}
    void RYL_THISCALL AfterCallback() override { owner_->HandOff(); }

   private:
    Dispatcher* owner_;
  };
  class QueueClient final : public RylWakerClient {
   public:
    explicit QueueClient(Dispatcher* owner) noexcept : owner_(owner) {}
    void RYL_THISCALL OnWake(RylEventLoop*) override { owner_->ProcessQueue(); }

   private:
    Dispatcher* owner_;
  };
  class Worker final : public sys::RylBasThread {
   public:
    explicit Worker(Dispatcher* owner) noexcept : owner_(owner) {}

   private:
    uint32_t Run() noexcept override { return static_cast<uint32_t>(owner_->WorkerMain()); }
    Dispatcher* owner_;
  };

  [[nodiscard]] ResultCode Start() noexcept;
  ResultCode WorkerMain() noexcept;
  void ProcessQueue() noexcept;
  void Execute(Task* task, uint8_t level) noexcept;
  void Abandon(Task* task) noexcept;
  void Finish(Task* task) noexcept;
  void HandOff() noexcept;
  void DestroyerHandOff(Task* task) noexcept;
  void WakeLocked() noexcept;
  void Requeue(Task* task, uint8_t level) noexcept;
  void StopAndTearDown() noexcept;
  void FinishTearDown() noexcept;
  void TaskCreated() noexcept { keepAlive_.fetch_add(1); }
  void LetGo() noexcept;

  Notify notify_{this};
  QueueClient queueClient_{this};
  Worker worker_{this};
  EventLoop loop_;
  RylWaker* waker_ = nullptr;
  bool threadStarted_ = false;
  bool wakePending_ = false;
  bool stopping_ = false;
  bool destroyOnExit_ = false;
  sys::RylBasEvent handOffReached_;
  sys::RylBasEvent handOffReleased_;
  Task* completingNow_ = nullptr;
  bool destroyerWaiting_ = false;
  ResultCode result_ = RYL_OK;
  TaskList queue_;
  TaskList started_;
  std::atomic<int32_t> references_{1};
  // The memory (and the lock in it) outlives tear-down while tasks that
  // point here are alive: the dispatcher holds one, each task another.
  std::atomic<int32_t> keepAlive_{1};
  bool shared_ = false;
};

}  // namespace ryl::async
