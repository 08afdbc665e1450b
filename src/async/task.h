// What Post hands the caller: the outcome being driven on the dispatcher's
// thread, the event set when it is final, and the sink through which its
// operation reports. The caller owns it and ends it with Destroy.
#pragma once

#include <atomic>
#include <cstdint>

#include "async/task_list.h"
#include "ryl/async.h"
#include "sys/bas_event.h"

namespace ryl::async {

class Dispatcher;

// The two tables share a query signature; each face answers for its own type.
class TaskFace : public RylTask {
 public:
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) final;
};

class TaskSinkFace : public RylTaskSink {
 public:
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) final;
};

class Task final : public TaskFace, public TaskSinkFace, public TaskLinks {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_TASK;

  explicit Task(Dispatcher* dispatcher) noexcept : dispatcher_(dispatcher) {}
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  // RylTask
  void RYL_THISCALL Destroy() override;
  ResultCode RYL_THISCALL Wait(RylOutcome* out) override;
  void RYL_THISCALL SetLevel(uint32_t level) override;

  // RylTaskSink
  void RYL_THISCALL Complete(RylOutcome* outcome, RylEventLoop* loop) override;

  RylTask* task() noexcept { return static_cast<TaskFace*>(this); }
  RylTaskSink* sink() noexcept { return static_cast<TaskSinkFace*>(this); }
  static Task* FromTaskLinks(TaskLinks* links) noexcept { return static_cast<Task*>(links); }

 private:
  friend class Dispatcher;

  Dispatcher* dispatcher_;
  sys::RylBasEvent completion_;
  RylOutcome slot_{};
  uint8_t requestedLevel_ = 0;
  uint8_t appliedLevel_ = 0;
  bool inQueue_ = false;
  bool started_ = false;
  std::atomic<bool> completed_{false};
};

}  // namespace ryl::async
