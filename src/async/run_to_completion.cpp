#include "async/run_to_completion.h"

#include "async/event_loop.h"
#include "async/monotonic_clock.h"
#include "async/outcome_ops.h"
#include "core/query.h"

namespace ryl::async {
namespace {

class Runner final : public RylTaskSink, public RylTimerHandler, public RylWaitHandler {
 public:
  Runner(RylWaitable* first, RylWaitable* second) noexcept : waitables_{first, second} {}
  ~Runner() {
    DestroyOutcome(slot_);
    loop_.TearDown();
  }

  ResultCode Run(RylOutcome* outcome, uint32_t timeLimitMs) noexcept {
    ResultCode result = RYL_OK;
    if (timeLimitMs != kNoTimeLimit) {
      uint64_t now = 0;
      result = MonotonicClock::SystemTime(&now);
      if (result < 0) return result;
      result = loop_.AddTimerAt(nullptr, now + static_cast<uint64_t>(timeLimitMs) * 10000u, this);
      if (result < 0) return result;
      timerArmed_ = true;
    }
    for (int i = 0; i < 2; ++i) {
      if (waitables_[i] == nullptr) continue;
      if (waitables_[i]->IsClosed() != 0) return RYL_E_UNSUPPORTED_VERSION;
      result = loop_.AddWait(waitables_[i], this);
      if (result < 0) return result;
      registered_[i] = true;
    }

    MoveAssign(slot_, *outcome);
    StartOutcome(slot_, this, &loop_);
    ResultCode ran = RYL_OK;
    if (IsPending(slot_)) {
      ran = loop_.Run();
      if (ran < 0) {
        RaiseLevelAndDrive(slot_, RYL_LEVEL_ABANDON, this, &loop_);
      }
    }

    if (StateOf(slot_.tag) == RYL_OUTCOME_VALUE) return RYL_OK;
    if (ran < 0) return ran;
    if (result_ < 0) return result_;
    switch (StateOf(slot_.tag)) {
      case RYL_OUTCOME_ERROR:
        return ResultOf(slot_);
      case RYL_OUTCOME_PENDING:
        return RYL_E_STILL_PENDING;
      default:
        return RYL_E_UNSUPPORTED_VERSION;
    }
  }

  // RylTaskSink
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<RylTaskSink*>(this), RYL_TYPE_TASK_SINK, RYL_VERSION_TASK_SINK, type,
                             version, outHighest);
  }
  void RYL_THISCALL Complete(RylOutcome* outcome, RylEventLoop*) override {
    if (outcome == nullptr) return;
    AcceptReport(slot_, *outcome, this, &loop_);
    if (!IsPending(slot_)) TearDownRun();
  }

  // RylTimerHandler: the time limit passed.
  void RYL_THISCALL OnTimer(void*, RylEventLoop*) override {
    if (result_ >= 0) result_ = RYL_W_TIMEOUT;
    timerArmed_ = false;
    TearDownRun();
  }

  // RylWaitHandler: a watched waitable was signalled.
  void RYL_THISCALL OnSignalled(RylWaitable* waitable, RylEventLoop*) override {
    result_ = waitable == waitables_[0] ? RYL_W_FIRST_WAITABLE : RYL_W_SECOND_WAITABLE;
    TearDownRun();
  }

 private:
  // Asks unfinished work to stop and removes what would keep the loop
  // running for the runner's own sake.
  void TearDownRun() noexcept {
    if (IsPending(slot_)) RaiseLevelAndDrive(slot_, RYL_LEVEL_STOP, this, &loop_);
    if (timerArmed_) {
      loop_.RemoveTimer(nullptr, this);
      timerArmed_ = false;
    }
    for (int i = 0; i < 2; ++i) {
      if (!registered_[i]) continue;
      loop_.RemoveWait(waitables_[i], this);
      registered_[i] = false;
    }
  }

  EventLoop loop_;
  RylOutcome slot_{};
  bool timerArmed_ = false;
  RylWaitable* waitables_[2];
  bool registered_[2] = {false, false};
  ResultCode result_ = RYL_OK;
};

}  // namespace

ResultCode RunToCompletion(RylOutcome* outcome, uint32_t timeLimitMs, RylWaitable* first,
                           RylWaitable* second) noexcept {
  if (outcome == nullptr) return RYL_E_INVALID_ARG;
  switch (StateOf(outcome->tag)) {
    case RYL_OUTCOME_VALUE:
      return RYL_OK;
    case RYL_OUTCOME_ERROR:
      return ResultOf(*outcome);
    case RYL_OUTCOME_PENDING:
      break;
    default:
      return RYL_E_UNSUPPORTED_VERSION;
  }
  Runner runner(first, second);
  return runner.Run(outcome, timeLimitMs);
}

}  // namespace ryl::async
