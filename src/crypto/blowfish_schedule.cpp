#include "crypto/blowfish_schedule.h"

#include <cstring>

#include "crypto/blowfish_tables.h"

namespace ryl::crypto {
namespace {

inline uint32_t F(const uint32_t* s, uint32_t x) noexcept {
  return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) + s[768 + (x & 0xFF)];
}

}  // namespace

void EncryptBlowfishBlock(const BlowfishSchedule& schedule, uint32_t& left, uint32_t& right) noexcept {
  const uint32_t* p = schedule.p;
  const uint32_t* s = schedule.s;
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= p[i];
    r ^= F(s, l);
    r ^= p[i + 1];
    l ^= F(s, r);
  }
  left = r ^ p[17];
  right = l ^ p[16];
}

void DecryptBlowfishBlock(const BlowfishSchedule& schedule, uint32_t& left, uint32_t& right) noexcept {
  const uint32_t* p = schedule.p;
  const uint32_t* s = schedule.s;
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= p[i];
    r ^= F(s, l);
    r ^= p[i - 1];
    l ^= F(s, r);
  }
  left = r ^ p[0];
  right = l ^ p[1];
}

void ExpandBlowfishKey(BlowfishSchedule& schedule, const uint8_t* key, size_t length) noexcept {
  std::memcpy(schedule.p, kBlowfishInitialP, sizeof kBlowfishInitialP);
  std::memcpy(schedule.s, kBlowfishInitialS, sizeof kBlowfishInitialS);
  size_t at = 0;
  for (int i = 0; i < 18; ++i) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      word = (word << 8) | key[at];
      at = at + 1 == length ? 0 : at + 1;
    }
    schedule.p[i] ^= word;
  }
  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptBlowfishBlock(schedule, left, right);
    schedule.p[i] = left;
    schedule.p[i + 1] = right;
  }
  for (int i = 0; i < 4 * 256; i += 2) {
    EncryptBlowfishBlock(schedule, left, right);
    schedule.s[i] = left;
    schedule.s[i + 1] = right;
  }
}

}  // namespace ryl::crypto
