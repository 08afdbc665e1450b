// The mandatory integrity label of a security descriptor: the one entry of
// type 0x11 in its system list, kept apart from the audit entries so that
// it can be read and written as a part of its own.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/security_descriptor_check.h"

namespace ryl::sys {

class RylWinMandatoryLabel {
 public:
  static constexpr uint8_t kAceType = 0x11;

  // Copies a label entry: header, policy mask and identifier. Anything
  // after the identifier is not kept, and the stored entry's size says so.
  // An entry of another type, or whose identifier does not fit inside it, is
  // RYL_E_INVALID_ARG; on failure the held label is unchanged.
  [[nodiscard]] ResultCode Initialize(const void* ace) noexcept;
  void Clear() noexcept { size_ = 0; }
  bool IsInitialized() const noexcept { return size_ != 0; }
  // The entry, or null when not initialised.
  const void* ace() const noexcept { return size_ != 0 ? ace_ : nullptr; }
  uint32_t size() const noexcept { return size_; }

 private:
  static constexpr uint32_t kFixedPart = 8;  // header and policy mask

  alignas(4) uint8_t ace_[kFixedPart + kLargestSidSize] = {};
  uint32_t size_ = 0;
};

}  // namespace ryl::sys
