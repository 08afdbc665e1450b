// The MD5, SHA-1 and SHA-512 digests over libcrypto's implementations, for
// callers that must not see its headers. One class template, one
// instantiation per algorithm (in mini_hash.cpp, the one file that includes
// libcrypto).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ryl::sys {

// The algorithms: digest size, and room for libcrypto's context.
struct RylMd5Algorithm {
  static constexpr uint32_t kDigestSize = 16;
  static constexpr uint32_t kStateSize = 128;
};
struct RylSha1Algorithm {
  static constexpr uint32_t kDigestSize = 20;
  static constexpr uint32_t kStateSize = 128;
};
struct RylSha512Algorithm {
  static constexpr uint32_t kDigestSize = 64;
  static constexpr uint32_t kStateSize = 256;
};

template <typename Algorithm>
class RylMiniHash {
 public:
  static constexpr uint32_t kDigestSize = Algorithm::kDigestSize;

  RylMiniHash() noexcept { Initialize(); }
  // Wipes the state, which holds what was hashed in a recoverable form.
  ~RylMiniHash();
  RylMiniHash(const RylMiniHash&) = default;
  RylMiniHash& operator=(const RylMiniHash&) = default;

  // Starts a fresh digest.
  void Initialize() noexcept;
  void Reset() noexcept { Initialize(); }
  void Add(const void* data, size_t length) noexcept;
  // Writes the kDigestSize bytes of the digest of everything added so far;
  // adding may go on afterwards.
  void Get(uint8_t* digest) const noexcept;

 private:
  alignas(8) unsigned char state_[Algorithm::kStateSize];
};

extern template class RylMiniHash<RylMd5Algorithm>;
extern template class RylMiniHash<RylSha1Algorithm>;
extern template class RylMiniHash<RylSha512Algorithm>;

using RylMiniHashMd5 = RylMiniHash<RylMd5Algorithm>;
using RylMiniHashSha1 = RylMiniHash<RylSha1Algorithm>;
using RylMiniHashSha512 = RylMiniHash<RylSha512Algorithm>;

}  // namespace ryl::sys
