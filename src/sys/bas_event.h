// A kernel event. Reset type 0 stays signalled until Reset (a notification
// event); reset type 1 lets one waiter through and resets itself.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/bas_waitable.h"

namespace ryl::sys {

inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

class RylBasEvent final : public RylBasWaitable {
 public:
  static constexpr uint32_t kManualReset = 0;
  static constexpr uint32_t kAutoReset = 1;

  RylBasEvent() noexcept = default;
  ~RylBasEvent() override { FreeResource(); }

  [[nodiscard]] ResultCode Create(uint32_t resetType, bool initialState) noexcept;
  [[nodiscard]] ResultCode Set() noexcept;
  [[nodiscard]] ResultCode Reset() noexcept;
  // RYL_OK when signalled, RYL_W_TIMEOUT when ms passed first (kWaitForever:
  // no limit).
  [[nodiscard]] ResultCode Wait(uint32_t ms) noexcept;
  bool IsCreated() const noexcept { return handle_ != nullptr; }

  uint32_t GetResourceType() const noexcept override { return kKernelHandle; }
  void* GetHandle() const noexcept override { return handle_; }
  // Closes the event; the waitable reads as closed afterwards.
  void FreeResource() noexcept override;

 private:
  void* handle_ = nullptr;
};

}  // namespace ryl::sys
