// The SHA-512 digest over libcrypto's implementation, for callers that must
// not see its headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ryl::sys {

class RylMiniHashSha512 {
 public:
  static constexpr uint32_t kDigestSize = 64;

  RylMiniHashSha512() noexcept { Initialize(); }
  ~RylMiniHashSha512();
  RylMiniHashSha512(const RylMiniHashSha512&) = default;
  RylMiniHashSha512& operator=(const RylMiniHashSha512&) = default;

  // Starts a fresh digest.
  void Initialize() noexcept;
  void Reset() noexcept { Initialize(); }
  void Add(const void* data, size_t length) noexcept;
  // Writes the kDigestSize bytes of the digest of everything added so far;
  // adding may go on afterwards.
  void Get(uint8_t* digest) const noexcept;

 private:
  alignas(8) unsigned char state_[256];
};

}  // namespace ryl::sys
