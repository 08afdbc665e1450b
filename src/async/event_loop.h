// A single-threaded reactor: registered waitables with their handlers,
// timers on a clock that never runs backwards, and wakers through which
// other threads get a callback run on the loop's thread. Run blocks in one
// wait for all registered waitables at once, bounded by the earliest timer,
// and calls the handlers of what became ready; it returns when nothing is
// left to wait for.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "async/monotonic_clock.h"
#include "async/platform_waitable.h"
#include "ryl/async.h"
#include "sys/bas_event.h"
#include "sys/critical_section.h"

namespace ryl::async {

class EventLoop final : public RylEventLoop {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_EVENT_LOOP;

  // Handler record flags.
  static constexpr uint32_t kOneShot = 1;
  static constexpr uint32_t kAddedInDispatch = 2;
  static constexpr uint32_t kRemoved = 4;

  EventLoop() noexcept;
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL AddWait(RylWaitable* waitable, RylWaitHandler* handler) override;
  ResultCode RYL_THISCALL AddWaitOnce(RylWaitable* waitable, RylWaitHandler* handler) override;
  void RYL_THISCALL RemoveWait(RylWaitable* waitable, RylWaitHandler* handler) override;
  ResultCode RYL_THISCALL AddTimerIn(void* context, uint64_t delay, RylTimerHandler* handler) override;
  ResultCode RYL_THISCALL AddTimerAt(void* context, uint64_t due, RylTimerHandler* handler) override;
  void RYL_THISCALL RemoveTimer(void* context, RylTimerHandler* handler) override;
  ResultCode RYL_THISCALL CreateWaker(RylWaker** outWaker, RylWakerClient* client) override;
  void RYL_THISCALL RemoveWaker(RylWaker* waker) override;

  // The owner's: runs until nothing is registered (0) or a wait fails.
  [[nodiscard]] ResultCode Run() noexcept;
  // Called after every callback; may be null.
  void SetNotify(RylLoopNotify* notify) noexcept { notify_ = notify; }
  // Releases every registration, timer and waker, the wake event and the
  // critical section. The destructor does it too.
  void TearDown() noexcept;
  // Tear-down without deleting the critical section, for an owner whose
  // lock must outlive the loop.
  void TearDownKeepingLock() noexcept;

  // Guards the waker set; a dispatcher uses it as its own lock. Valid once a
  // waker was created (or InitializeLock succeeded).
  sys::RylCriticalSection& lock() noexcept { return lock_; }
  [[nodiscard]] ResultCode InitializeLock() noexcept;

  bool HasRegistrations() const noexcept { return !registrations_.empty(); }
  size_t TimerCount() const noexcept { return timersByKey_.size(); }

 private:
  class Waker;
  friend class Waker;

  struct Key {
    uint32_t kind;
    uintptr_t handle;
    bool operator<(const Key& other) const noexcept {
      return kind != other.kind ? kind < other.kind : handle < other.handle;
    }
  };
  struct HandlerRecord {
    uint32_t flags;
    RylWaitHandler* handler;
    RylWaitable* waitable;
  };
  using Registrations = std::map<Key, std::vector<HandlerRecord>>;
  using TimerKey = std::pair<void*, RylTimerHandler*>;

  // The loop's own handler of its wake event.
  class WakeHandler final : public RylWaitHandler {
   public:
    explicit WakeHandler(EventLoop* loop) noexcept : loop_(loop) {}
    void RYL_THISCALL OnSignalled(RylWaitable*, RylEventLoop*) override { loop_->RunWokenClients(); }

   private:
    EventLoop* loop_;
  };

  [[nodiscard]] ResultCode Register(RylWaitable* waitable, RylWaitHandler* handler, uint32_t flags) noexcept;
  void Dispatch(Registrations::iterator entry) noexcept;
  void FireDueTimers() noexcept;
  [[nodiscard]] uint32_t TimeoutMs() const noexcept;
  void Notify() noexcept;
  void RunWokenClients() noexcept;
  void Wake(Waker* waker) noexcept;
  void ClearAll(bool deleteLock) noexcept;

  Registrations registrations_;
  Registrations::iterator dispatching_;
  bool isDispatching_ = false;

  std::map<TimerKey, uint64_t> timersByKey_;
  std::set<std::pair<uint64_t, TimerKey>> timersByDue_;
  MonotonicClock clock_;

  sys::RylCriticalSection lock_;
  sys::RylBasEvent wakeEvent_;
  PlatformWaitable wakeWaitable_;
  bool wakeWaitableMade_ = false;
  WakeHandler wakeHandler_{this};
  bool wakeRegistered_ = false;
  bool wakeSignalled_ = false;
  // Wakers in the order they were made: a woken one runs before those made
  // after it.
  std::map<uint64_t, Waker*> wakers_;
  uint64_t nextWakerNumber_ = 0;

  RylLoopNotify* notify_ = nullptr;
};

}  // namespace ryl::async
