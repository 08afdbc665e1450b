#include "sys/codec/mini_hash_sha1.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <cstring>

namespace ryl::sys {
namespace {

static_assert(sizeof(SHA_CTX) <= 128, "the state storage holds libcrypto's context");
static_assert(alignof(SHA_CTX) <= 8, "the state storage is aligned for libcrypto's context");

SHA_CTX* Context(unsigned char* state) { return reinterpret_cast<SHA_CTX*>(state); }

}  // namespace

RylMiniHashSha1::~RylMiniHashSha1() { OPENSSL_cleanse(state_, sizeof state_); }

void RylMiniHashSha1::Initialize() noexcept { (void)SHA1_Init(Context(state_)); }

void RylMiniHashSha1::Add(const void* data, size_t length) noexcept {
  if (length != 0) (void)SHA1_Update(Context(state_), data, length);
}

void RylMiniHashSha1::Get(uint8_t* digest) const noexcept {
  // Finishing destroys the context, so finish a copy.
  alignas(8) unsigned char copy[sizeof state_];
  std::memcpy(copy, state_, sizeof copy);
  (void)SHA1_Final(digest, Context(copy));
  OPENSSL_cleanse(copy, sizeof copy);
}

}  // namespace ryl::sys
