#include "sys/codec/mini_hash_md5.h"

#include <openssl/crypto.h>
#include <openssl/md5.h>

#include <cstring>

namespace ryl::sys {
namespace {

static_assert(sizeof(MD5_CTX) <= 128, "the state storage holds libcrypto's context");
static_assert(alignof(MD5_CTX) <= 8, "the state storage is aligned for libcrypto's context");

MD5_CTX* Context(unsigned char* state) { return reinterpret_cast<MD5_CTX*>(state); }

}  // namespace

RylMiniHashMd5::~RylMiniHashMd5() { OPENSSL_cleanse(state_, sizeof state_); }

void RylMiniHashMd5::Initialize() noexcept { (void)MD5_Init(Context(state_)); }

void RylMiniHashMd5::Add(const void* data, size_t length) noexcept {
  if (length != 0) (void)MD5_Update(Context(state_), data, length);
}

void RylMiniHashMd5::Get(uint8_t* digest) const noexcept {
  // Finishing destroys the context, so finish a copy.
  alignas(8) unsigned char copy[sizeof state_];
  std::memcpy(copy, state_, sizeof copy);
  (void)MD5_Final(digest, Context(copy));
  OPENSSL_cleanse(copy, sizeof copy);
}

}  // namespace ryl::sys
