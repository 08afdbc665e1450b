// An access list in the descriptor object's own keeping: its revision and
// its entries, held apart from any descriptor so that the system list can
// be split into audit entries and the mandatory label and put back together.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/heap_bytes.h"

namespace ryl::sys {

class RylWinAcl {
 public:
  RylWinAcl() noexcept = default;
  RylWinAcl(RylWinAcl&&) noexcept = default;
  RylWinAcl& operator=(RylWinAcl&&) noexcept = default;
  RylWinAcl(const RylWinAcl&) = delete;
  RylWinAcl& operator=(const RylWinAcl&) = delete;

  // An empty list is present (it denies everything, or audits nothing); a
  // cleared one is absent.
  bool IsPresent() const noexcept { return present_; }
  void Clear() noexcept;
  // Starts a present, empty list with room for entryBytes of entries.
  [[nodiscard]] ResultCode Start(uint8_t revision, uint32_t entryBytes) noexcept;
  // Appends one entry whose size its header gives; the entry must have been
  // checked. Grows the room when needed.
  [[nodiscard]] ResultCode Append(const void* ace) noexcept;
  [[nodiscard]] ResultCode CopyFrom(const RylWinAcl& other) noexcept;

  uint8_t revision() const noexcept { return revision_; }
  uint32_t entryCount() const noexcept { return count_; }
  const uint8_t* entries() const noexcept { return entries_.data(); }
  uint32_t entryBytes() const noexcept { return used_; }

  // The native list with this list's entries followed by one extra entry
  // (null for none), at the higher of the list's revision and minRevision.
  // RYL_E_VALUE_TOO_LARGE when the result would not fit a list's 16-bit size.
  [[nodiscard]] ResultCode BuildNative(const void* extraAce, uint32_t extraSize, uint8_t minRevision,
                                       HeapBytes* out) const noexcept;

 private:
  HeapBytes entries_;
  uint32_t used_ = 0;
  uint32_t count_ = 0;
  uint8_t revision_ = 0;
  bool present_ = false;
};

}  // namespace ryl::sys
