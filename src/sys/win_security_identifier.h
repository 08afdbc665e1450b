// A security identifier held by value: the owner or group of a security
// descriptor object.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/security_descriptor_check.h"

namespace ryl::sys {

class RylWinSecurityIdentifier {
 public:
  // Copies sid. An identifier the system does not accept is
  // RYL_E_INVALID_ARG; on failure the held identifier is unchanged. The
  // caller vouches that sid points at a whole identifier (a checked one).
  [[nodiscard]] ResultCode Initialize(const void* sid) noexcept;
  void Clear() noexcept { size_ = 0; }
  bool IsInitialized() const noexcept { return size_ != 0; }
  // Null when not initialised.
  const void* get() const noexcept { return size_ != 0 ? sid_ : nullptr; }
  uint32_t size() const noexcept { return size_; }

 private:
  alignas(4) uint8_t sid_[kLargestSidSize] = {};
  uint32_t size_ = 0;
};

}  // namespace ryl::sys
