#include "sys/codec/mini_hash_sha512.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <cstring>

namespace ryl::sys {
namespace {

static_assert(sizeof(SHA512_CTX) <= 256, "the state storage holds libcrypto's context");
static_assert(alignof(SHA512_CTX) <= 8, "the state storage is aligned for libcrypto's context");

SHA512_CTX* Context(unsigned char* state) { return reinterpret_cast<SHA512_CTX*>(state); }

}  // namespace

RylMiniHashSha512::~RylMiniHashSha512() { OPENSSL_cleanse(state_, sizeof state_); }

void RylMiniHashSha512::Initialize() noexcept { (void)SHA512_Init(Context(state_)); }

void RylMiniHashSha512::Add(const void* data, size_t length) noexcept {
  if (length != 0) (void)SHA512_Update(Context(state_), data, length);
}

void RylMiniHashSha512::Get(uint8_t* digest) const noexcept {
  // Finishing destroys the context, so finish a copy.
  alignas(8) unsigned char copy[sizeof state_];
  std::memcpy(copy, state_, sizeof copy);
  (void)SHA512_Final(digest, Context(copy));
  OPENSSL_cleanse(copy, sizeof copy);
}

}  // namespace ryl::sys
