// The Waitable face of a waitable of the platform library: what the event
// loop needs of it (its kind, its handle, whether it was closed), after
// following forwarding waitables to the one they stand for.
#pragma once

#include "ryl/async.h"
#include "sys/bas_waitable.h"

namespace ryl::async {

class PlatformWaitable final : public RylWaitable {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_WAITABLE;

  // RYL_E_UNSUPPORTED_VERSION when the final waitable's resource type is
  // above 5 (or a forwarding chain ends nowhere).
  [[nodiscard]] static ResultCode Adapt(sys::RylBasWaitable* waitable, PlatformWaitable* out) noexcept;

  PlatformWaitable() noexcept = default;

  void RYL_THISCALL Destroy() override {}
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL Deliver(const ObjectReceiver*) override { return RYL_E_NOT_IMPLEMENTED; }
  uint32_t RYL_THISCALL Kind() override;
  void* RYL_THISCALL Handle() override;
  uint8_t RYL_THISCALL IsClosed() override;

 private:
  sys::RylBasWaitable* target_ = nullptr;
};

}  // namespace ryl::async
