// Asynchronous work: an operation of this host whose Run arms a timer on
// the library's event loop and reports through the task sink, driven once
// by RunToCompletion on this thread and once by a dispatcher's worker.
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"

namespace msvc_host {
namespace {

class TimedOperation final : public RylOperation {
 public:
  void RYL_THISCALL Destroy() override { ++destroys_; }
  void RYL_THISCALL Release() override { ++releases_; }
  void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t level) override {
    ++runs_;
    runLevel_ = level;
    sink_ = sink;
    uint32_t highest = 0;
    if (sink->Query(RYL_TYPE_TASK_SINK, 0, &highest) == sink && highest == RYL_VERSION_TASK_SINK) ++facesAnswered_;
    if (loop->Query(RYL_TYPE_EVENT_LOOP, 0, &highest) == loop && highest == RYL_VERSION_EVENT_LOOP) ++facesAnswered_;
    // 20 ms in 100-ns units; the context comes back to the handler unchanged.
    if (loop->AddTimerIn(this, 200000, &timer_) < 0) {
      out->tag = RYL_OUTCOME_ERROR;
      out->payload = static_cast<uintptr_t>(RYL_E_INVALID_ARG);
    }
  }
  void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t newLevel, uint32_t) override {
    ++raises_;
    out->tag = RYL_OUTCOME_ERROR | ((newLevel & 3) << RYL_OUTCOME_LEVEL_SHIFT);
    out->payload = static_cast<uintptr_t>(RYL_E_INVALID_ARG);
  }

  int runs() const { return runs_; }
  int raises() const { return raises_; }
  int releases() const { return releases_; }
  int destroys() const { return destroys_; }
  int timers() const { return timer_.fired; }
  int facesAnswered() const { return facesAnswered_; }
  bool contextKept() const { return timer_.context == this; }

 private:
  struct Timer final : public RylTimerHandler {
    explicit Timer(TimedOperation* owner) : owner(owner) {}
    void RYL_THISCALL OnTimer(void* timerContext, RylEventLoop* loop) override {
      ++fired;
      context = timerContext;
      RylOutcome report = {RYL_OUTCOME_VALUE, 0};
      owner->sink_->Complete(&report, loop);
    }
    TimedOperation* owner;
    void* context = nullptr;
    int fired = 0;
  };

  Timer timer_{this};
  RylTaskSink* sink_ = nullptr;
  uint32_t runLevel_ = 0xFF;
  int runs_ = 0;
  int raises_ = 0;
  int releases_ = 0;
  int destroys_ = 0;
  int facesAnswered_ = 0;
};

void CheckRunToCompletion(RootFactory* root) {
  RylOutcome value = {RYL_OUTCOME_VALUE, 0};
  HOST_CHECK_OK(root->RunToCompletion(&value, 0xFFFFFFFFu, nullptr, nullptr), "a value runs to completion at once");
  RylOutcome error = {RYL_OUTCOME_ERROR, static_cast<uintptr_t>(RYL_E_ELEMENT_NOT_FOUND)};
  HOST_CHECK_CODE(root->RunToCompletion(&error, 0xFFFFFFFFu, nullptr, nullptr), RYL_E_ELEMENT_NOT_FOUND,
                  "an error runs to its code");

  TimedOperation operation;
  RylOutcome pending = {RYL_OUTCOME_PENDING, reinterpret_cast<uintptr_t>(static_cast<RylOperation*>(&operation))};
  HOST_CHECK_OK(root->RunToCompletion(&pending, 5000, nullptr, nullptr),
                "an operation reporting from its timer runs to completion");
  HOST_CHECK(operation.runs() == 1 && operation.timers() == 1 && operation.raises() == 0,
             "it ran once, its timer fired once, it was never raised");
  HOST_CHECK(operation.contextKept() && operation.facesAnswered() == 2,
             "the timer's context came back; the sink and the loop answered their types");
  HOST_CHECK(operation.releases() >= 1 && operation.destroys() == 0, "released, never destroyed");
  HOST_CHECK((pending.tag & RYL_OUTCOME_STATE_MASK) == RYL_OUTCOME_EMPTY, "the outcome was taken");
}

void CheckDispatcher(RootFactory* root) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_DISPATCHER);
  HOST_CHECK_OK(root->CreateDispatcher(&receiver), "CreateDispatcher");
  RylDispatcher* dispatcher = static_cast<RylDispatcher*>(object);
  if (dispatcher == nullptr) return;
  uint32_t highest = 0;
  HOST_CHECK(dispatcher->Query(RYL_TYPE_DISPATCHER, 0, &highest) == dispatcher && highest == 1,
             "a dispatcher answers type 44");
  HOST_CHECK(dispatcher->AddRef() == 2 && dispatcher->Release() == 1, "AddRef and Release count references");

  TimedOperation operation;
  RylOutcome pending = {RYL_OUTCOME_PENDING, reinterpret_cast<uintptr_t>(static_cast<RylOperation*>(&operation))};
  void* taskObject = nullptr;
  ObjectReceiver taskReceiver = MakeReceiver(&taskObject, RYL_VERSION_TASK);
  HOST_CHECK_OK(dispatcher->Post(&pending, &taskReceiver), "Post an operation of this host");
  RylTask* task = static_cast<RylTask*>(taskObject);
  if (task != nullptr) {
    RylOutcome out = {RYL_OUTCOME_EMPTY, 0};
    HOST_CHECK_OK(task->Wait(&out), "Wait for the task");
    HOST_CHECK((out.tag & RYL_OUTCOME_STATE_MASK) == RYL_OUTCOME_VALUE, "the timer's report is the task's value");
    HOST_CHECK(operation.runs() == 1 && operation.timers() == 1, "on the dispatcher's thread, run once");
    task->Destroy();
  }
  HOST_CHECK(dispatcher->Release() == 0, "the last Release ends the dispatcher");
}

}  // namespace

void CheckAsync(RootFactory* root) {
  CheckRunToCompletion(root);
  CheckDispatcher(root);
}

}  // namespace msvc_host
