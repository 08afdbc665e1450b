// The POSIX stand-in for kernel objects that can be waited for: a flag under
// one process-wide lock, with one condition that every change announces.
// Events and threads of the portable build hand out the address of one of
// these as their handle, so WaitForAnyHandle can wait for any mix of them.
#pragma once

namespace ryl::sys::posix {

struct WaitObject {
  bool signalled = false;
  bool autoReset = false;
};

void SignalWaitObject(WaitObject* object) noexcept;
void ResetWaitObject(WaitObject* object) noexcept;

}  // namespace ryl::sys::posix
