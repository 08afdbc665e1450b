// Something a thread can wait for, as the platform library describes it: a
// kernel handle (resource type 1), a forwarding waitable (2) that stands for
// another one, or other kinds up to 5. A validity flag, 1 once the object is
// built, reads 0 after FreeResource: the waitable is closed.
#pragma once

#include <cstdint>

namespace ryl::sys {

class RylBasWaitable {
 public:
  static constexpr uint32_t kKernelHandle = 1;
  static constexpr uint32_t kForwarding = 2;
  static constexpr uint32_t kStoredHandle = 3;
  static constexpr uint32_t kMaxResourceType = 5;

  RylBasWaitable() noexcept = default;
  virtual ~RylBasWaitable() = default;
  RylBasWaitable(const RylBasWaitable&) = delete;
  RylBasWaitable& operator=(const RylBasWaitable&) = delete;

  virtual uint32_t GetResourceType() const noexcept = 0;
  // The kernel handle of resource type 1, else null.
  virtual void* GetHandle() const noexcept = 0;
  // What a forwarding waitable stands for; null for the others.
  virtual RylBasWaitable* GetForward() const noexcept { return nullptr; }
  // Resource type 3: its own sub-kind and the handle it stores.
  virtual uint32_t GetSubKind() const noexcept { return 0; }
  virtual void* GetStoredHandle() const noexcept { return nullptr; }
  virtual void FreeResource() noexcept { valid_ = 0; }

  bool IsInitialized() const noexcept { return valid_ != 0; }

 protected:
  uint8_t valid_ = 1;
};

}  // namespace ryl::sys
