#include "async/event_loop.h"

#include <memory>

#include "async/wait_any.h"
#include "core/query.h"
#include "sys/bas_thread.h"

namespace ryl::async {

// A waker belongs to its loop, which frees it in RemoveWaker or at tear-down.
class EventLoop::Waker final : public RylWaker {
 public:
  Waker(EventLoop* loop, RylWakerClient* client, uint64_t number) noexcept
      : loop_(loop), client_(client), number_(number) {}
  void RYL_THISCALL Wake() override { loop_->Wake(this); }

 private:
  friend class EventLoop;
  EventLoop* loop_;
  RylWakerClient* client_;
  uint64_t number_;
  bool pending_ = false;
};

EventLoop::EventLoop() noexcept : dispatching_(registrations_.end()) {}

EventLoop::~EventLoop() { TearDown(); }

void* RYL_THISCALL EventLoop::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylEventLoop*>(this), RYL_TYPE_EVENT_LOOP, kHighestVersion, type, version,
                           outHighest);
}

ResultCode EventLoop::Register(RylWaitable* waitable, RylWaitHandler* handler, uint32_t flags) noexcept {
  if (waitable == nullptr || handler == nullptr) return RYL_E_INVALID_ARG;
  if (waitable->IsClosed() != 0) return RYL_E_INVALID_ARG;
  const Key key{waitable->Kind(), reinterpret_cast<uintptr_t>(waitable->Handle())};
  Registrations::iterator entry = registrations_.find(key);
  bool created = false;
  try {
    if (entry == registrations_.end()) {
      entry = registrations_.emplace(key, std::vector<HandlerRecord>()).first;
      created = true;
    }
    if (isDispatching_ && entry == dispatching_) flags |= kAddedInDispatch;
    entry->second.push_back(HandlerRecord{flags, handler, waitable});
  } catch (...) {
    if (created) registrations_.erase(entry);
    return RYL_E_OUT_OF_MEMORY;
  }
  return RYL_OK;
}

ResultCode RYL_THISCALL EventLoop::AddWait(RylWaitable* waitable, RylWaitHandler* handler) {
  return Register(waitable, handler, 0);
}

ResultCode RYL_THISCALL EventLoop::AddWaitOnce(RylWaitable* waitable, RylWaitHandler* handler) {
  return Register(waitable, handler, kOneShot);
}

void RYL_THISCALL EventLoop::RemoveWait(RylWaitable* waitable, RylWaitHandler* handler) {
  if (waitable == nullptr) return;
  const Registrations::iterator entry =
      registrations_.find(Key{waitable->Kind(), reinterpret_cast<uintptr_t>(waitable->Handle())});
  // Removing what was never registered is the caller's mistake; it changes
  // nothing.
  if (entry == registrations_.end()) return;
  std::vector<HandlerRecord>& records = entry->second;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].handler != handler || (records[i].flags & kRemoved) != 0) continue;
    if (isDispatching_ && entry == dispatching_) {
      records[i].flags |= kRemoved;
    } else {
      records.erase(records.begin() + static_cast<ptrdiff_t>(i));
      if (records.empty()) registrations_.erase(entry);
    }
    return;
  }
}

ResultCode RYL_THISCALL EventLoop::AddTimerIn(void* context, uint64_t delay, RylTimerHandler* handler) {
  uint64_t now = 0;
  const ResultCode read = MonotonicClock::SystemTime(&now);
  if (read < 0) return read;
  return AddTimerAt(context, now + delay, handler);
}

ResultCode RYL_THISCALL EventLoop::AddTimerAt(void* context, uint64_t due, RylTimerHandler* handler) {
  if (handler == nullptr) return RYL_E_INVALID_ARG;
  const TimerKey key{context, handler};
  const uint64_t onClock = clock_.FromSystemTime(due);
  // A pair that already has a timer is moved to the new time: it fires once.
  const auto existing = timersByKey_.find(key);
  try {
    if (existing != timersByKey_.end()) {
      if (existing->second == onClock) return RYL_OK;
      timersByDue_.insert({onClock, key});
      timersByDue_.erase({existing->second, key});
      existing->second = onClock;
      return RYL_OK;
    }
    const auto inserted = timersByKey_.emplace(key, onClock).first;
    try {
      timersByDue_.insert({onClock, key});
    } catch (...) {
      timersByKey_.erase(inserted);
      throw;
    }
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
  return RYL_OK;
}

void RYL_THISCALL EventLoop::RemoveTimer(void* context, RylTimerHandler* handler) {
  const auto existing = timersByKey_.find(TimerKey{context, handler});
  if (existing == timersByKey_.end()) return;
  timersByDue_.erase({existing->second, existing->first});
  timersByKey_.erase(existing);
}

ResultCode EventLoop::InitializeLock() noexcept { return lock_.Initialize(); }

ResultCode RYL_THISCALL EventLoop::CreateWaker(RylWaker** outWaker, RylWakerClient* client) {
  if (outWaker == nullptr || client == nullptr) return RYL_E_INVALID_ARG;
  ResultCode result = lock_.Initialize();
  if (result < 0) return result;
  if (!wakeEvent_.IsCreated()) {
    result = wakeEvent_.Create(sys::RylBasEvent::kManualReset, false);
    if (result < 0) return result;
  }
  if (!wakeWaitableMade_) {
    result = PlatformWaitable::Adapt(&wakeEvent_, &wakeWaitable_);
    if (result < 0) return result;
    wakeWaitableMade_ = true;
  }
  if (!wakeRegistered_) {
    result = AddWait(&wakeWaitable_, &wakeHandler_);
    if (result < 0) return result;
    wakeRegistered_ = true;
  }
  try {
    auto waker = std::make_unique<Waker>(this, client, nextWakerNumber_);
    sys::CriticalSectionLock hold(lock_);
    wakers_.emplace(nextWakerNumber_++, waker.get());
    *outWaker = waker.release();
  } catch (...) {
    if (wakers_.empty()) {
      RemoveWait(&wakeWaitable_, &wakeHandler_);
      wakeRegistered_ = false;
    }
    return RYL_E_OUT_OF_MEMORY;
  }
  return RYL_OK;
}

void RYL_THISCALL EventLoop::RemoveWaker(RylWaker* waker) {
  if (waker == nullptr || !lock_.IsInitialized()) return;
  auto* own = static_cast<Waker*>(waker);
  std::unique_ptr<Waker> freed;
  {
    sys::CriticalSectionLock hold(lock_);
    const auto found = wakers_.find(own->number_);
    if (found == wakers_.end() || found->second != own) return;
    freed.reset(own);
    wakers_.erase(found);
    if (!wakers_.empty()) return;
    // Nothing can wake the loop any more: it may finish once nothing else is
    // registered.
    if (wakeRegistered_) {
      RemoveWait(&wakeWaitable_, &wakeHandler_);
      wakeRegistered_ = false;
    }
    if (wakeSignalled_) {
      (void)wakeEvent_.Reset();
      wakeSignalled_ = false;
    }
  }
}

void EventLoop::Wake(Waker* waker) noexcept {
  sys::CriticalSectionLock hold(lock_);
  if (waker->pending_) return;
  waker->pending_ = true;
  if (!wakeSignalled_) {
    wakeSignalled_ = true;
    (void)wakeEvent_.Set();
  }
}

void EventLoop::RunWokenClients() noexcept {
  lock_.Enter();
  for (;;) {
    Waker* woken = nullptr;
    for (const auto& [number, waker] : wakers_) {
      if (waker->pending_) {
        woken = waker;
        break;
      }
    }
    if (woken == nullptr) break;
    woken->pending_ = false;
    RylWakerClient* client = woken->client_;
    lock_.Leave();
    client->OnWake(this);
    Notify();
    lock_.Enter();
  }
  wakeSignalled_ = false;
  if (wakeEvent_.IsCreated()) (void)wakeEvent_.Reset();
  lock_.Leave();
}

void EventLoop::Notify() noexcept {
  if (notify_ != nullptr) notify_->AfterCallback();
}

uint32_t EventLoop::TimeoutMs() const noexcept {
  if (timersByDue_.empty()) return sys::kWaitForever;
  const uint64_t due = timersByDue_.begin()->first;
  const uint64_t now = clock_.now();
  if (now >= due) return 0;
  const uint64_t ms = (due - now) / 10000;
  return ms > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<uint32_t>(ms);
}

void EventLoop::FireDueTimers() noexcept {
  while (!timersByDue_.empty() && timersByDue_.begin()->first <= clock_.now()) {
    const TimerKey key = timersByDue_.begin()->second;
    timersByDue_.erase(timersByDue_.begin());
    timersByKey_.erase(key);
    key.second->OnTimer(key.first, this);
    Notify();
  }
}

void EventLoop::Dispatch(Registrations::iterator entry) noexcept {
  isDispatching_ = true;
  dispatching_ = entry;
  // By position: a handler may add records to this very entry, which can
  // move the vector's storage.
  for (size_t i = 0; i < entry->second.size(); ++i) {
    const HandlerRecord record = entry->second[i];
    if ((record.flags & kAddedInDispatch) != 0) break;
    if ((record.flags & kRemoved) != 0) continue;
    if ((record.flags & kOneShot) != 0) entry->second[i].flags |= kRemoved;
    record.handler->OnSignalled(record.waitable, this);
    Notify();
  }
  std::vector<HandlerRecord>& records = entry->second;
  size_t kept = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if ((records[i].flags & kRemoved) != 0) continue;
    records[kept] = records[i];
    records[kept].flags &= ~kAddedInDispatch;
    ++kept;
  }
  records.resize(kept);
  if (records.empty()) registrations_.erase(entry);
  isDispatching_ = false;
  dispatching_ = registrations_.end();
}

ResultCode EventLoop::Run() noexcept {
  constexpr size_t kInlineWaitables = 256;
  for (;;) {
    uint64_t now = 0;
    ResultCode result = clock_.Read(&now);
    if (result < 0) return result;
    if (registrations_.empty()) {
      if (timersByDue_.empty()) return RYL_OK;
      sys::RylBasThread::Sleep(TimeoutMs());
      result = clock_.Read(&now);
      if (result < 0) return result;
      FireDueTimers();
      continue;
    }

    RylWaitable* inlineList[kInlineWaitables];
    std::vector<RylWaitable*> heapList;
    RylWaitable** list = inlineList;
    const size_t count = registrations_.size();
    if (count > kInlineWaitables) {
      try {
        heapList.resize(count);
      } catch (...) {
        return RYL_E_OUT_OF_MEMORY;
      }
      list = heapList.data();
    }
    size_t at = 0;
    for (const auto& [key, records] : registrations_) list[at++] = records.front().waitable;

    uint32_t index = 0;
    result = WaitForAny(list, static_cast<uint32_t>(count), TimeoutMs(), &index);
    if (result < 0 && result != RYL_W_TIMEOUT) return result;
    const ResultCode read = clock_.Read(&now);
    if (read < 0) return read;
    if (result >= 0) {
      RylWaitable* signalled = list[index];
      const auto entry =
          registrations_.find(Key{signalled->Kind(), reinterpret_cast<uintptr_t>(signalled->Handle())});
      if (entry != registrations_.end()) Dispatch(entry);
    }
    FireDueTimers();
  }
}

void EventLoop::ClearAll(bool deleteLock) noexcept {
  registrations_.clear();
  dispatching_ = registrations_.end();
  isDispatching_ = false;
  timersByKey_.clear();
  timersByDue_.clear();
  for (auto& [number, waker] : wakers_) std::unique_ptr<Waker>{waker};
  wakers_.clear();
  wakeWaitableMade_ = false;
  wakeWaitable_ = PlatformWaitable();
  wakeEvent_.FreeResource();
  wakeRegistered_ = false;
  wakeSignalled_ = false;
  if (deleteLock) lock_.Delete();
}

void EventLoop::TearDown() noexcept { ClearAll(true); }

void EventLoop::TearDownKeepingLock() noexcept { ClearAll(false); }

}  // namespace ryl::async
