// A change notification on a key: an event the system sets when the key (or
// its subtree) changes, offered as a waitable for an event loop or
// RunToCompletion. The host waits, looks, and calls Rearm for the next one.
#pragma once

#include <cstdint>

#include "async/platform_waitable.h"
#include "registry/key_record.h"
#include "ryl/async.h"
#include "ryl/registry.h"
#include "sys/bas_event.h"

namespace ryl::registry {

class RegistryWatcher final : public RylRegistryWatcher {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_REGISTRY_WATCHER;

  RegistryWatcher() noexcept = default;
  ~RegistryWatcher();

  // Opens the key again for notification (through the merged view for a
  // classes-view key) and arms the first notification.
  [[nodiscard]] ResultCode Start(const RegKeyRecord& record, bool watchSubtree,
                                 const AllocatorRecord& allocator) noexcept;
  void* DeliveredInterface() noexcept { return static_cast<RylRegistryWatcher*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  void RYL_THISCALL Destroy() override;
  RylWaitable* RYL_THISCALL GetWaitable() override { return &waitable_; }
  ResultCode RYL_THISCALL Rearm() override;

 private:
  void CloseKey() noexcept;

  RegistryContext* context_ = nullptr;
  KeyHandle key_ = nullptr;
  sys::RylBasEvent event_;
  async::PlatformWaitable waitable_;
  bool watchSubtree_ = false;
  bool armed_ = false;
  AllocatorRecord allocator_{};
};

}  // namespace ryl::registry
