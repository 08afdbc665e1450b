// The MD5 digest over libcrypto's implementation, for callers that must
// not see its headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ryl::sys {

class RylMiniHashMd5 {
 public:
  static constexpr uint32_t kDigestSize = 16;

  RylMiniHashMd5() noexcept { Initialize(); }
  ~RylMiniHashMd5();
  RylMiniHashMd5(const RylMiniHashMd5&) = default;
  RylMiniHashMd5& operator=(const RylMiniHashMd5&) = default;

  // Starts a fresh digest.
  void Initialize() noexcept;
  void Reset() noexcept { Initialize(); }
  void Add(const void* data, size_t length) noexcept;
  // Writes the kDigestSize bytes of the digest of everything added so far;
  // adding may go on afterwards.
  void Get(uint8_t* digest) const noexcept;

 private:
  alignas(8) unsigned char state_[128];
};

}  // namespace ryl::sys
