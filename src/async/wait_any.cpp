#include "async/wait_any.h"

#include <memory>
#include <vector>

#include "sys/bas_event.h"
#include "sys/bas_thread.h"
#include "sys/wait_handles.h"

namespace ryl::async {
namespace {

constexpr uint32_t kInline = sys::kMaxWaitHandles;

// Waits for its part of the list, the next waiter's thread (when the part
// is too long for one wait) and the stop event shared by the whole wait. The
// next waiter's handle comes before the stop event, so that a waiter whose
// descendant found a signal reports it rather than the stop that signal
// caused.
class AuxiliaryWaiter final : public sys::RylBasThread {
 public:
  AuxiliaryWaiter(void* const* handles, uint32_t count, uint32_t base, sys::RylBasEvent* stop) noexcept
      : handles_(handles), count_(count), base_(base), stop_(stop) {}
  ~AuxiliaryWaiter() override { (void)StopThread(sys::kWaitForever); }

  uint32_t index() const noexcept { return index_; }

 private:
  uint32_t Run() noexcept override {
    void* list[kInline];
    uint32_t own = count_;
    uint32_t used = 0;
    if (count_ > kInline - 1) {
      own = kInline - 2;
      try {
        next_ = std::make_unique<AuxiliaryWaiter>(handles_ + own, count_ - own, base_ + own, stop_);
      } catch (...) {
        return Finish(RYL_E_OUT_OF_MEMORY);
      }
      const ResultCode started = next_->StartThread(0, nullptr, 0, nullptr);
      if (started < 0) {
        next_.reset();
        return Finish(started);
      }
    }
    for (; used < own; ++used) list[used] = handles_[used];
    if (next_ != nullptr) list[used++] = next_->GetHandle();
    list[used++] = stop_->GetHandle();

    uint32_t at = 0;
    ResultCode result = sys::WaitForAnyHandle(list, used, sys::kWaitForever, &at);
    if (result >= 0 && at < own) {
      index_ = base_ + at;
      return Finish(result);
    }
    if (result < 0) return Finish(result);
    // The stop event or the next waiter ended the wait. A next waiter that
    // found a signal sets the stop event before its thread ends, so the stop
    // may be seen first: the next waiter's answer counts either way.
    return Finish(next_ != nullptr ? TakeNextAnswer() : RYL_W_TIMEOUT);
  }

  ResultCode TakeNextAnswer() noexcept {
    (void)stop_->Set();
    (void)next_->StopThread(sys::kWaitForever);
    uint32_t code = 0;
    if (next_->GetThreadExitCode(&code) < 0) return RYL_E_INVALID_STATE;
    index_ = next_->index();
    return static_cast<ResultCode>(code);
  }

  // Whatever ended this waiter's wait also ends the rest of the chain.
  uint32_t Finish(ResultCode result) noexcept {
    (void)stop_->Set();
    next_.reset();
    return static_cast<uint32_t>(result);
  }

  void* const* handles_;
  uint32_t count_;
  uint32_t base_;
  sys::RylBasEvent* stop_;
  std::unique_ptr<AuxiliaryWaiter> next_;
  uint32_t index_ = 0;
};

ResultCode WaitBeyondLimit(void* const* handles, uint32_t count, uint32_t ms, uint32_t* outIndex) noexcept {
  sys::RylBasEvent stop;
  ResultCode result = stop.Create(sys::RylBasEvent::kManualReset, false);
  if (result < 0) return result;
  constexpr uint32_t own = kInline - 1;
  AuxiliaryWaiter rest(handles + own, count - own, own, &stop);
  result = rest.StartThread(0, nullptr, 0, nullptr);
  if (result < 0) return result;

  void* list[kInline];
  for (uint32_t i = 0; i < own; ++i) list[i] = handles[i];
  list[own] = rest.GetHandle();
  uint32_t at = 0;
  result = sys::WaitForAnyHandle(list, kInline, ms, &at);
  (void)stop.Set();
  (void)rest.StopThread(sys::kWaitForever);
  // The rest's answer counts when its thread ended the wait, and when the
  // time ran out just as it found a signal (a self-resetting event it
  // reported must not be lost).
  if ((result >= 0 && at == own) || result == RYL_W_TIMEOUT) {
    uint32_t code = 0;
    if (rest.GetThreadExitCode(&code) < 0) return RYL_E_INVALID_STATE;
    if (result != RYL_W_TIMEOUT || static_cast<ResultCode>(code) != RYL_W_TIMEOUT) {
      result = static_cast<ResultCode>(code);
      at = rest.index();
    }
  }
  if (result >= 0) *outIndex = at;
  return result;
}

}  // namespace

ResultCode WaitForAny(RylWaitable* const* waitables, uint32_t count, uint32_t ms, uint32_t* outIndex) noexcept {
  if (count == 0) return RYL_W_NOTHING_TO_WAIT;
  void* inlineHandles[kInline];
  std::vector<void*> heapHandles;
  void** handles = inlineHandles;
  if (count > kInline) {
    try {
      heapHandles.resize(count);
    } catch (...) {
      return RYL_E_OUT_OF_MEMORY;
    }
    handles = heapHandles.data();
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (waitables[i]->Kind() != RYL_WAITABLE_KIND_HANDLE) return RYL_E_UNSUPPORTED_VERSION;
    handles[i] = waitables[i]->Handle();
  }
  if (count <= kInline) return sys::WaitForAnyHandle(handles, count, ms, outIndex);
  for (uint32_t i = 0; i < count; ++i) {
    if (waitables[i]->IsClosed() != 0) return RYL_E_OBJECT_CLOSED;
  }
  return WaitBeyondLimit(handles, count, ms, outIndex);
}

}  // namespace ryl::async
