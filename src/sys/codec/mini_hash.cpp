#include "sys/codec/mini_hash.h"

#include <openssl/crypto.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <cstring>

namespace ryl::sys {
namespace {

// libcrypto's low-level calls for each algorithm.
template <typename Algorithm>
struct Calls;

template <>
struct Calls<RylMd5Algorithm> {
  using Context = MD5_CTX;
  static void Init(Context* c) { (void)MD5_Init(c); }
  static void Update(Context* c, const void* data, size_t length) { (void)MD5_Update(c, data, length); }
  static void Final(uint8_t* digest, Context* c) { (void)MD5_Final(digest, c); }
};

template <>
struct Calls<RylSha1Algorithm> {
  using Context = SHA_CTX;
  static void Init(Context* c) { (void)SHA1_Init(c); }
  static void Update(Context* c, const void* data, size_t length) { (void)SHA1_Update(c, data, length); }
  static void Final(uint8_t* digest, Context* c) { (void)SHA1_Final(digest, c); }
};

template <>
struct Calls<RylSha512Algorithm> {
  using Context = SHA512_CTX;
  static void Init(Context* c) { (void)SHA512_Init(c); }
  static void Update(Context* c, const void* data, size_t length) { (void)SHA512_Update(c, data, length); }
  static void Final(uint8_t* digest, Context* c) { (void)SHA512_Final(digest, c); }
};

template <typename Algorithm>
typename Calls<Algorithm>::Context* ContextIn(unsigned char* state) {
  using Context = typename Calls<Algorithm>::Context;
  static_assert(sizeof(Context) <= Algorithm::kStateSize, "the state storage holds libcrypto's context");
  static_assert(alignof(Context) <= 8, "the state storage is aligned for libcrypto's context");
  return reinterpret_cast<Context*>(state);
}

}  // namespace

template <typename Algorithm>
RylMiniHash<Algorithm>::~RylMiniHash() {
  OPENSSL_cleanse(state_, sizeof state_);
}

template <typename Algorithm>
void RylMiniHash<Algorithm>::Initialize() noexcept {
  Calls<Algorithm>::Init(ContextIn<Algorithm>(state_));
}

template <typename Algorithm>
void RylMiniHash<Algorithm>::Add(const void* data, size_t length) noexcept {
  if (length != 0) Calls<Algorithm>::Update(ContextIn<Algorithm>(state_), data, length);
}

template <typename Algorithm>
void RylMiniHash<Algorithm>::Get(uint8_t* digest) const noexcept {
  // Finishing destroys the context, so finish a copy.
  alignas(8) unsigned char copy[sizeof state_];
  std::memcpy(copy, state_, sizeof copy);
  Calls<Algorithm>::Final(digest, ContextIn<Algorithm>(copy));
  OPENSSL_cleanse(copy, sizeof copy);
}

template class RylMiniHash<RylMd5Algorithm>;
template class RylMiniHash<RylSha1Algorithm>;
template class RylMiniHash<RylSha512Algorithm>;

}  // namespace ryl::sys
