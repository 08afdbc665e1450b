// Operations, waitables and outcomes for the asynchronous-execution tests:
// the library knows operations only through their table, so the tests write
// their own, as a host would.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "ryl/async.h"
#include "sys/bas_event.h"

namespace ryl::async::testing {

inline uint32_t Tag(uint32_t state, uint32_t level) { return state | (level << RYL_OUTCOME_LEVEL_SHIFT); }
inline uint32_t State(const RylOutcome& o) { return o.tag & 0xFFu; }
inline uint32_t Level(const RylOutcome& o) { return (o.tag >> 24) & 3u; }

inline RylOutcome Pending(RylOperation* operation, uint32_t level = 0) {
  return RylOutcome{Tag(RYL_OUTCOME_PENDING, level), reinterpret_cast<uintptr_t>(operation)};
}
inline RylOutcome Value(uint32_t level = 0) { return RylOutcome{Tag(RYL_OUTCOME_VALUE, level), 0}; }
inline RylOutcome Error(ResultCode code, uint32_t level = 0) {
  return RylOutcome{Tag(RYL_OUTCOME_ERROR, level), static_cast<uint32_t>(code)};
}

// Answers Run and Raise through callbacks and counts every call. An unset
// callback answers "still working" (empty).
class ScriptedOperation final : public RylOperation {
 public:
  using RunScript = std::function<void(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t level)>;
  using RaiseScript = std::function<void(RylOutcome* out, uint32_t newLevel, uint32_t seenLevel)>;

  RunScript onRun;
  RaiseScript onRaise;
  int runs = 0;
  int raises = 0;
  int releases = 0;
  std::vector<uint32_t> runLevels;
  std::vector<std::pair<uint32_t, uint32_t>> raiseLevels;  // {new, seen}
  uint32_t zeroArgument = 0xFFFFFFFFu;

  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL Release() override { ++releases; }
  void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t level) override {
    ++runs;
    runLevels.push_back(level);
    if (onRun) onRun(out, sink, loop, level);
  }
  void RYL_THISCALL Raise(RylOutcome* out, uint32_t zero, uint32_t newLevel, uint32_t seenLevel) override {
    ++raises;
    zeroArgument = zero;
    raiseLevels.emplace_back(newLevel, seenLevel);
    if (onRaise) onRaise(out, newLevel, seenLevel);
  }
};

// Finishes with a value after a delay on the loop it runs on; told to stop
// (level 2 or 3) it finishes at once with stopCode. The test owns it;
// `unreleased` counts those whose outcome still holds them.
class TimerOperation final : public RylOperation, public RylTimerHandler {
 public:
  static inline std::atomic<int> unreleased{0};
  explicit TimerOperation(uint64_t delay100ns, ResultCode stopCode = RYL_E_INVALID_STATE)
      : delay_(delay100ns), stopCode_(stopCode) {
    unreleased.fetch_add(1);
  }

  std::atomic<int> releases{0};

  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL Release() override {
    releases.fetch_add(1);
    unreleased.fetch_sub(1);
  }
  void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t level) override {
    if (level >= RYL_LEVEL_STOP) return Stop(out);
    if (armed_) return;  // resumed while waiting: still working
    sink_ = sink;
    loop_ = loop;
    if (loop->AddTimerIn(nullptr, delay_, this) < 0) {
      *out = Error(RYL_E_OUT_OF_MEMORY);
      return;
    }
    armed_ = true;
  }
  void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t newLevel, uint32_t) override {
    if (newLevel >= RYL_LEVEL_STOP) Stop(out);
  }
  void RYL_THISCALL OnTimer(void*, RylEventLoop* loop) override {
    armed_ = false;
    RylOutcome done = Value();
    sink_->Complete(&done, loop);
  }

 private:
  void Stop(RylOutcome* out) {
    if (armed_) loop_->RemoveTimer(nullptr, this);
    armed_ = false;
    *out = Error(stopCode_);
  }
  uint64_t delay_;
  ResultCode stopCode_;
  bool armed_ = false;
  RylTaskSink* sink_ = nullptr;
  RylEventLoop* loop_ = nullptr;
};

// A waitable over an event of the platform library, as a host builds one
// over its own kernel object.
class EventWaitable final : public RylWaitable {
 public:
  explicit EventWaitable(uint32_t resetType = sys::RylBasEvent::kManualReset) {
    (void)event.Create(resetType, false);
  }
  void RYL_THISCALL Destroy() override {}
  void* RYL_THISCALL Query(uint32_t, uint32_t, uint32_t*) override { return nullptr; }
  ResultCode RYL_THISCALL Deliver(const ObjectReceiver*) override { return RYL_E_NOT_IMPLEMENTED; }
  uint32_t RYL_THISCALL Kind() override { return kind; }
  void* RYL_THISCALL Handle() override { return event.GetHandle(); }
  uint8_t RYL_THISCALL IsClosed() override { return closed ? 1 : 0; }

  sys::RylBasEvent event;
  uint32_t kind = RYL_WAITABLE_KIND_HANDLE;
  bool closed = false;
};

// Stores a delivered object.
inline ResultCode RYL_CDECL StoreDelivered(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}
inline ResultCode RYL_CDECL RefuseDelivery(void*, void*) { return RYL_E_ACCESS_DENIED; }

inline const RylReceiverCallbacks kStoreCallbacks{1, &StoreDelivered};
inline const RylReceiverCallbacks kRefuseCallbacks{1, &RefuseDelivery};

inline ObjectReceiver ReceiverInto(void** slot, uint32_t version = 1) {
  return ObjectReceiver{&kStoreCallbacks, slot, version, AllocatorRecord{nullptr, nullptr}};
}

}  // namespace ryl::async::testing
