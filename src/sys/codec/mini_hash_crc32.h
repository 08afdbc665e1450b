// A running CRC-32 as ZIP stores it (reflected polynomial 0xEDB88320,
// initial value all ones, final complement).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sys/codec/crc32_kernels.h"

namespace ryl::sys {

class RylMiniHashCrc32 {
 public:
  RylMiniHashCrc32() noexcept = default;

  // Starts a fresh sum: Get() then answers the CRC of no bytes, 0.
  void Initialize() noexcept { reg_ = 0xFFFFFFFFu; }
  // Continues from a CRC already computed over earlier bytes; Reset(0) is
  // the fresh start.
  void Reset(uint32_t crc) noexcept { reg_ = ~crc; }
  void Add(const void* data, size_t length) noexcept {
    if (length != 0) reg_ = Crc32Update(reg_, static_cast<const uint8_t*>(data), length);
  }
  // The CRC of everything added so far; adding may go on afterwards.
  uint32_t Get() const noexcept { return ~reg_; }

 private:
  uint32_t reg_ = 0xFFFFFFFFu;
};

}  // namespace ryl::sys
