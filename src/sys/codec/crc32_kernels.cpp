#include "sys/codec/crc32_kernels.h"

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

#include <cstring>

namespace ryl::sys {
namespace {

constexpr const Crc32Tables& kTables = kCrc32Tables;

// The kernel needs 16-byte blocks and at least four of them to be worth it.
constexpr size_t kClmulMinimum = 64;

// Powers of x modulo the polynomial, bit-reflected and shifted by one as
// the reflected domain requires: fold distances of 512 bits (k1, k2) and
// 128 bits (k3, k4), the 64-bit step (k5), the polynomial with its x^32 term
// and the Barrett constant floor(x^64 / P).
constexpr uint64_t kK1 = 0x154442BD4ull;
constexpr uint64_t kK2 = 0x1C6E41596ull;
constexpr uint64_t kK3 = 0x1751997D0ull;
constexpr uint64_t kK4 = 0x0CCAA009Eull;
constexpr uint64_t kK5 = 0x163CD6124ull;
constexpr uint64_t kPoly = 0x1DB710641ull;
constexpr uint64_t kMu = 0x1F7011641ull;

__attribute__((target("sse2,pclmul"))) inline __m128i Pair(uint64_t low, uint64_t high) {
  return _mm_set_epi32(static_cast<int>(high >> 32), static_cast<int>(high), static_cast<int>(low >> 32),
                       static_cast<int>(low));
}

// One 128-bit fold: the accumulator's two halves multiplied by the fold
// constants for the distance, added to the data that distance further on.
__attribute__((target("sse2,pclmul"))) inline __m128i Fold(__m128i acc, __m128i constants, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(acc, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(acc, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("sse2"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// length is a multiple of 16 and at least 64. The stack is realigned on
// entry: hosts call in with 4-byte alignment and spilled vectors need 16.
__attribute__((target("sse2,pclmul"), force_align_arg_pointer)) uint32_t FoldBlocks(uint32_t reg,
                                                                                     const uint8_t* data,
                                                                                     size_t length) {
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = Load(data + 16);
  __m128i x2 = Load(data + 32);
  __m128i x3 = Load(data + 48);
  data += 64;
  length -= 64;

  const __m128i by512 = Pair(kK1, kK2);
  while (length >= 64) {
    x0 = Fold(x0, by512, Load(data));
    x1 = Fold(x1, by512, Load(data + 16));
    x2 = Fold(x2, by512, Load(data + 32));
    x3 = Fold(x3, by512, Load(data + 48));
    data += 64;
    length -= 64;
  }

  const __m128i by128 = Pair(kK3, kK4);
  __m128i acc = Fold(x0, by128, x1);
  acc = Fold(acc, by128, x2);
  acc = Fold(acc, by128, x3);
  while (length >= 16) {
    acc = Fold(acc, by128, Load(data));
    data += 16;
    length -= 16;
  }

  // 128 bits to 64: the low half times k4 lands on the high half.
  const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);
  acc = _mm_xor_si128(_mm_srli_si128(acc, 8), _mm_clmulepi64_si128(acc, by128, 0x10));
  // 64 bits to 32 (plus the 32 the Barrett step removes).
  const __m128i k5 = Pair(kK5, 0);
  acc = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(acc, low32), k5, 0x00), _mm_srli_si128(acc, 4));
  // Barrett reduction modulo the polynomial.
  const __m128i barrett = Pair(kPoly, kMu);
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(acc, low32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
  acc = _mm_xor_si128(acc, t);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(acc, 4)));
}

bool DetectClmul() noexcept {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

}  // namespace

uint32_t Crc32SliceBy8(uint32_t reg, const uint8_t* data, size_t length) noexcept {
  while (length != 0 && (reinterpret_cast<uintptr_t>(data) & 3) != 0) {
    reg = kTables[0][(reg ^ *data++) & 0xFF] ^ (reg >> 8);
    --length;
  }
  while (length >= 8) {
    uint32_t first;
    uint32_t second;
    std::memcpy(&first, data, 4);
    std::memcpy(&second, data + 4, 4);
    first ^= reg;
    reg = kTables[7][first & 0xFF] ^ kTables[6][(first >> 8) & 0xFF] ^ kTables[5][(first >> 16) & 0xFF] ^
          kTables[4][first >> 24] ^ kTables[3][second & 0xFF] ^ kTables[2][(second >> 8) & 0xFF] ^
          kTables[1][(second >> 16) & 0xFF] ^ kTables[0][second >> 24];
    data += 8;
    length -= 8;
  }
  while (length != 0) {
    reg = kTables[0][(reg ^ *data++) & 0xFF] ^ (reg >> 8);
    --length;
  }
  return reg;
}

bool Crc32ClmulAvailable() noexcept {
  static const bool available = DetectClmul();
  return available;
}

uint32_t Crc32Clmul(uint32_t reg, const uint8_t* data, size_t length) noexcept {
  if (length >= kClmulMinimum) {
    const size_t blocks = length & ~size_t{15};
    reg = FoldBlocks(reg, data, blocks);
    data += blocks;
    length -= blocks;
  }
  return Crc32SliceBy8(reg, data, length);
}

uint32_t Crc32Update(uint32_t reg, const uint8_t* data, size_t length) noexcept {
  if (length >= kClmulMinimum && Crc32ClmulAvailable()) return Crc32Clmul(reg, data, length);
  return Crc32SliceBy8(reg, data, length);
}

}  // namespace ryl::sys
