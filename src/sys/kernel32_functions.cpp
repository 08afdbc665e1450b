#include "sys/kernel32_functions.h"

#include <atomic>

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {
namespace {

using CopyFileWFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, BOOL);
using DefineDosDeviceWFunction = BOOL(WINAPI*)(DWORD, LPCWSTR, LPCWSTR);

// Resolved lazily without a lock: two threads that race both find the same
// address, and storing it twice is harmless. The resolved flag tells "not
// looked up yet" from "looked up and absent" (a null address).
class LazyKernel32Function {
 public:
  explicit constexpr LazyKernel32Function(const char* name) noexcept : name_(name) {}

  void* Get() noexcept {
    if (resolved_.load(std::memory_order_acquire)) return address_.load(std::memory_order_relaxed);
    void* address = nullptr;
    // kernel32 is mapped into every Win32 process, so no reference is taken.
    if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll"); kernel32 != nullptr) {
      address = reinterpret_cast<void*>(GetProcAddress(kernel32, name_));
    }
    address_.store(address, std::memory_order_relaxed);
    resolved_.store(true, std::memory_order_release);
    return address;
  }

 private:
  const char* name_;
  std::atomic<void*> address_{nullptr};
  std::atomic<bool> resolved_{false};
};

LazyKernel32Function g_copyFileW("CopyFileW");
LazyKernel32Function g_defineDosDeviceW("DefineDosDeviceW");

ResultCode LastErrorResult() noexcept {
  const DWORD error = GetLastError();
  // A failure that set no error must still read as one.
  return RylCreateErrorCodeFromWin32(3, error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
}

}  // namespace

bool RylKernel32IsFnLoaded_CopyFileW() noexcept { return g_copyFileW.Get() != nullptr; }

bool RylKernel32IsFnLoaded_DefineDosDeviceW() noexcept { return g_defineDosDeviceW.Get() != nullptr; }

ResultCode RylKernel32_CopyFileW(const char16_t* source, const char16_t* target, bool failIfExists) noexcept {
  auto* copy = reinterpret_cast<CopyFileWFunction>(g_copyFileW.Get());
  if (copy == nullptr) return RYL_E_NOT_IMPLEMENTED;
  if (source == nullptr || target == nullptr) return RYL_E_INVALID_ARG;
  if (copy(reinterpret_cast<LPCWSTR>(source), reinterpret_cast<LPCWSTR>(target), failIfExists ? TRUE : FALSE)) {
    return RYL_OK;
  }
  return LastErrorResult();
}

ResultCode RylKernel32_DefineDosDeviceW(uint32_t flags, const char16_t* deviceName,
                                        const char16_t* targetPath) noexcept {
  auto* define = reinterpret_cast<DefineDosDeviceWFunction>(g_defineDosDeviceW.Get());
  if (define == nullptr) return RYL_E_NOT_IMPLEMENTED;
  if (deviceName == nullptr) return RYL_E_INVALID_ARG;
  if (define(flags, reinterpret_cast<LPCWSTR>(deviceName), reinterpret_cast<LPCWSTR>(targetPath))) return RYL_OK;
  return LastErrorResult();
}

}  // namespace ryl::sys
