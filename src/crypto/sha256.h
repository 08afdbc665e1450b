// SHA-256 (FIPS 180-4), the module's own. It counts the bytes added in 32
// bits: a message of 4 GiB or more is refused (RYL_E_BAD_FORMAT).
#pragma once

#include <cstddef>
#include <cstdint>

#include "ryl/result.h"

namespace ryl::crypto {

class Sha256 {
 public:
  static constexpr uint32_t kDigestSize = 32;

  Sha256() noexcept;
  [[nodiscard]] ResultCode Add(const void* data, size_t length) noexcept;
  void Finish(uint8_t* digest) noexcept;

 private:
  void Block(const uint8_t* block) noexcept;

  uint32_t state_[8];
  uint8_t pending_[64];
  uint32_t count_ = 0;  // bytes added
};

}  // namespace ryl::crypto
