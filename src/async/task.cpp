#include "async/task.h"

#include "async/dispatcher.h"
#include "async/outcome_ops.h"
#include "core/delivery.h"
#include "core/query.h"

namespace ryl::async {

void* RYL_THISCALL TaskFace::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylTask*>(this), RYL_TYPE_TASK, RYL_VERSION_TASK, type, version, outHighest);
}

void* RYL_THISCALL TaskSinkFace::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylTaskSink*>(this), RYL_TYPE_TASK_SINK, RYL_VERSION_TASK_SINK, type,
                           version, outHighest);
}

void RYL_THISCALL Task::Destroy() {
  Dispatcher* dispatcher = dispatcher_;
  if (!completed_.load()) {
    if (dispatcher->worker_.IsCurrentThread()) {
      // From a callback on the worker: the outcome may be driven right here,
      // where every outcome of this dispatcher is driven.
      {
        sys::CriticalSectionLock hold(dispatcher->loop_.lock());
        TaskList::Unlink(this);
        inQueue_ = false;
      }
      completed_.store(true);
    } else {
      // Freeing a task the worker still holds would leave it touching freed
      // memory: the work is told to finish at once and waited for.
      {
        sys::CriticalSectionLock hold(dispatcher->loop_.lock());
        if (!completed_.load()) dispatcher->Requeue(this, RYL_LEVEL_ABANDON);
      }
      (void)completion_.Wait(sys::kWaitForever);
    }
  }
  dispatcher->DestroyerHandOff(this);
  DestroyOutcome(slot_);
  core::DestroyDefaultHeapObject(this);
  dispatcher->LetGo();
}

ResultCode RYL_THISCALL Task::Wait(RylOutcome* out) {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  const ResultCode waited = completion_.Wait(sys::kWaitForever);
  if (waited != RYL_OK) return waited < 0 ? waited : RYL_E_INVALID_STATE;
  MoveAssign(*out, slot_);
  return RYL_OK;
}

void RYL_THISCALL Task::SetLevel(uint32_t level) {
  uint32_t capped = LevelArgument(level);
  if (capped > RYL_LEVEL_STOP) capped = RYL_LEVEL_STOP;
  Dispatcher* dispatcher = dispatcher_;
  sys::CriticalSectionLock hold(dispatcher->loop_.lock());
  if (!completed_.load()) dispatcher->Requeue(this, static_cast<uint8_t>(capped));
}

void RYL_THISCALL Task::Complete(RylOutcome* outcome, RylEventLoop* loop) {
  if (outcome == nullptr) return;
  if (completed_.load()) {
    // Work already given up (or finished) has nothing to report into.
    DestroyOutcome(*outcome);
    return;
  }
  AcceptReport(slot_, *outcome, sink(), loop != nullptr ? loop : &dispatcher_->loop_);
  if (!IsPending(slot_)) dispatcher_->Finish(this);
}

}  // namespace ryl::async
