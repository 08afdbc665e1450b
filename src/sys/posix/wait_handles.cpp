#include "sys/wait_handles.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "sys/posix/wait_object.h"

namespace ryl::sys {
namespace posix {
namespace {
// Built on first use and never destroyed: a waiter thread of a wait beyond
// the handle limit may still signal while the process runs its static
// destructors at exit.
template <typename T>
T& Immortal() noexcept {
  alignas(T) static unsigned char storage[sizeof(T)];
  static T* const object = ::new (static_cast<void*>(storage)) T();
  return *object;
}
std::mutex& Lock() { return Immortal<std::mutex>(); }
std::condition_variable& Changed() { return Immortal<std::condition_variable>(); }
}  // namespace

void SignalWaitObject(WaitObject* object) noexcept {
  {
    std::lock_guard<std::mutex> hold(Lock());
    object->signalled = true;
  }
  Changed().notify_all();
}

void ResetWaitObject(WaitObject* object) noexcept {
  std::lock_guard<std::mutex> hold(Lock());
  object->signalled = false;
}
}  // namespace posix

ResultCode WaitForAnyHandle(void* const* handles, uint32_t count, uint32_t ms, uint32_t* outIndex) noexcept {
  if (handles == nullptr || count == 0 || count > kMaxWaitHandles || outIndex == nullptr) return RYL_E_INVALID_ARG;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::unique_lock<std::mutex> hold(posix::Lock());
  for (;;) {
    for (uint32_t i = 0; i < count; ++i) {
      auto* object = static_cast<posix::WaitObject*>(handles[i]);
      if (object == nullptr) return RYL_E_INVALID_HANDLE;
      if (object->signalled) {
        if (object->autoReset) object->signalled = false;
        *outIndex = i;
        return RYL_OK;
      }
    }
    if (ms == 0xFFFFFFFFu) {
      posix::Changed().wait(hold);
    } else if (posix::Changed().wait_until(hold, deadline) == std::cv_status::timeout) {
      // One last look: a signal may have arrived with the time-out.
      for (uint32_t i = 0; i < count; ++i) {
        auto* object = static_cast<posix::WaitObject*>(handles[i]);
        if (object->signalled) {
          if (object->autoReset) object->signalled = false;
          *outIndex = i;
          return RYL_OK;
        }
      }
      return RYL_W_TIMEOUT;
    }
  }
}

}  // namespace ryl::sys
