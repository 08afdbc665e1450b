// A thread of the platform running a subclass's Run. The thread's handle is
// signalled when it ends, so it can be waited for with other handles.
#pragma once

#include <cstdint>

#include "ryl/platform.h"
#include "ryl/result.h"

namespace ryl::sys {

class RylBasThread {
 public:
  RylBasThread() noexcept = default;
  // The thread must have been waited for or detached.
  virtual ~RylBasThread();
  RylBasThread(const RylBasThread&) = delete;
  RylBasThread& operator=(const RylBasThread&) = delete;

  // Priority 0 is normal. The security context, flags and name are accepted
  // for the platform library's signature; a name is not set.
  [[nodiscard]] ResultCode StartThread(int32_t priority, void* security, uint32_t flags,
                                       const RylChar16* name) noexcept;
  // RYL_OK once the thread ended, RYL_W_TIMEOUT when ms passed first.
  [[nodiscard]] ResultCode WaitForThreadToStop(uint32_t ms) noexcept;
  // Waits for the end (the thread is expected to have been told to stop by
  // its own means) and closes the handle; the exit code stays readable.
  [[nodiscard]] ResultCode StopThread(uint32_t ms) noexcept;
  [[nodiscard]] ResultCode GetThreadExitCode(uint32_t* outCode) const noexcept;
  // Lets the thread go without waiting for it: for a thread that ends its own
  // owner and cannot wait for itself.
  void Detach() noexcept;

  bool IsStarted() const noexcept { return handle_ != nullptr; }
  bool IsCurrentThread() const noexcept;
  void* GetHandle() const noexcept;

  static void Sleep(uint32_t ms) noexcept;

  // The platform's thread entry calls this with the object; nothing else does.
  static uint32_t EnterThread(void* self) noexcept;

 protected:
  // The thread's body; its result is the thread's exit code. The object may
  // be gone once Run returned, so nothing runs after it.
  virtual uint32_t Run() noexcept = 0;

 private:
  void Close() noexcept;

  void* handle_ = nullptr;  // the platform's thread record
  uint32_t threadId_ = 0;
  uint32_t exitCode_ = 0;
  bool exitCodeKnown_ = false;
};

// The calling thread's identifier.
uint32_t CurrentThreadId() noexcept;

}  // namespace ryl::sys
