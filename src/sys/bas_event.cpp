#include "sys/bas_event.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {

ResultCode RylBasEvent::Create(uint32_t resetType, bool initialState) noexcept {
  if (handle_ != nullptr || resetType > kAutoReset) return RYL_E_INVALID_STATE;
  HANDLE handle = nullptr;
  const NTSTATUS status =
      NtCreateEvent(&handle, EVENT_ALL_ACCESS, nullptr,
                    resetType == kManualReset ? RylNotificationEvent : RylSynchronizationEvent, initialState);
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  handle_ = handle;
  valid_ = 1;
  return RYL_OK;
}

ResultCode RylBasEvent::Set() noexcept {
  if (handle_ == nullptr) return RYL_E_NOT_OPEN;
  const NTSTATUS status = NtSetEvent(handle_, nullptr);
  return status == STATUS_SUCCESS ? RYL_OK : RylResultFromNtStatus(status);
}

ResultCode RylBasEvent::Reset() noexcept {
  if (handle_ == nullptr) return RYL_E_NOT_OPEN;
  const NTSTATUS status = NtResetEvent(handle_, nullptr);
  return status == STATUS_SUCCESS ? RYL_OK : RylResultFromNtStatus(status);
}

ResultCode RylBasEvent::Wait(uint32_t ms) noexcept {
  if (handle_ == nullptr) return RYL_E_NOT_OPEN;
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
  const NTSTATUS status = NtWaitForSingleObject(handle_, FALSE, ms == kWaitForever ? nullptr : &timeout);
  if (status == STATUS_SUCCESS) return RYL_OK;
  if (status == STATUS_TIMEOUT) return RYL_W_TIMEOUT;
  return RylResultFromNtStatus(status);
}

void RylBasEvent::FreeResource() noexcept {
  if (handle_ != nullptr) {
    (void)ZwClose(handle_);
    handle_ = nullptr;
  }
  valid_ = 0;
}

}  // namespace ryl::sys
