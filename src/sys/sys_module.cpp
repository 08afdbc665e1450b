#include "sys/sys_module.h"

#include <atomic>

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {
namespace {

std::atomic<ResultCode> g_injectedFailure[2] = {RYL_OK, RYL_OK};
std::atomic<int> g_initializations{0};

// The process heap is the module's default heap; a process without one
// cannot host the module.
bool ProcessHeapAvailable() noexcept { return GetProcessHeap() != nullptr; }

}  // namespace

void SetInitFailureForTesting(int step, ResultCode code) noexcept {
  if (step == 1 || step == 2) g_injectedFailure[step - 1].store(code);
}

ResultCode TakeInitFailureForTesting(int step) noexcept {
  if (step != 1 && step != 2) return RYL_OK;
  return g_injectedFailure[step - 1].exchange(RYL_OK);
}

ResultCode InternalInitializeRylSysDll() noexcept {
  if (const ResultCode injected = TakeInitFailureForTesting(1); injected < 0) return injected;
  if (!ProcessHeapAvailable()) return RylCreateErrorCodeFromWin32(3, GetLastError());
  g_initializations.fetch_add(1);
  return RYL_OK;
}

void InternalDestroyRylSysDll() noexcept { g_initializations.fetch_sub(1); }

int SysDllInitializationsForTesting() noexcept { return g_initializations.load(); }

}  // namespace ryl::sys
