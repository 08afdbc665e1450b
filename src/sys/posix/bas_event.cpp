#include "sys/bas_event.h"

#include <cstdlib>
#include <new>

#include "sys/posix/wait_object.h"
#include "sys/wait_handles.h"

namespace ryl::sys {

ResultCode RylBasEvent::Create(uint32_t resetType, bool initialState) noexcept {
  if (handle_ != nullptr || resetType > kAutoReset) return RYL_E_INVALID_STATE;
  void* memory = std::malloc(sizeof(posix::WaitObject));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  auto* object = ::new (memory) posix::WaitObject();
  object->autoReset = resetType == kAutoReset;
  object->signalled = initialState;
  handle_ = object;
  valid_ = 1;
  return RYL_OK;
}

ResultCode RylBasEvent::Set() noexcept {
  if (handle_ == nullptr) return RYL_E_NOT_OPEN;
  posix::SignalWaitObject(static_cast<posix::WaitObject*>(handle_));
  return RYL_OK;
}

ResultCode RylBasEvent::Reset() noexcept {
  if (handle_ == nullptr) return RYL_E_NOT_OPEN;
  posix::ResetWaitObject(static_cast<posix::WaitObject*>(handle_));
  return RYL_OK;
}

ResultCode RylBasEvent::Wait(uint32_t ms) noexcept {
  if (handle_ == nullptr) return RYL_E_NOT_OPEN;
  uint32_t index = 0;
  return WaitForAnyHandle(&handle_, 1, ms, &index);
}

void RylBasEvent::FreeResource() noexcept {
  if (handle_ != nullptr) {
    static_cast<posix::WaitObject*>(handle_)->~WaitObject();
    std::free(handle_);
    handle_ = nullptr;
  }
  valid_ = 0;
}

}  // namespace ryl::sys
