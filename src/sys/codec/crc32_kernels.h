// The CRC-32 of ZIP (reflected polynomial 0xEDB88320) over a register that
// holds the running value complemented, as the algorithm carries it: start
// from 0xFFFFFFFF, complement at the end. Two kernels compute the same
// function; Crc32Update picks the fastest one the processor offers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ryl::sys {

using Crc32Tables = std::array<std::array<uint32_t, 256>, 8>;

// tables[0] is the byte-at-a-time table (which the traditional ZIP
// encryption also drives); tables[k][b] is the register change of byte b
// followed by k zero bytes, so that eight bytes can be looked up
// independently and combined.
constexpr Crc32Tables MakeCrc32Tables() {
  Crc32Tables t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t reg = b;
    for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) != 0 ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    t[0][b] = reg;
  }
  for (int k = 1; k < 8; ++k) {
    for (uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  }
  return t;
}

inline constexpr Crc32Tables kCrc32Tables = MakeCrc32Tables();

inline uint32_t Crc32UpdateByte(uint32_t reg, uint8_t byte) noexcept {
  return kCrc32Tables[0][(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

// Eight bytes per step through eight tables; any processor.
uint32_t Crc32SliceBy8(uint32_t reg, const uint8_t* data, size_t length) noexcept;

// True when the processor has carry-less multiplication (and SSE2), which
// Crc32Clmul needs.
bool Crc32ClmulAvailable() noexcept;

// Folds 64 bytes per step with carry-less multiplication, the tail by table.
// Only call it when Crc32ClmulAvailable().
uint32_t Crc32Clmul(uint32_t reg, const uint8_t* data, size_t length) noexcept;

// The fastest kernel available.
uint32_t Crc32Update(uint32_t reg, const uint8_t* data, size_t length) noexcept;

}  // namespace ryl::sys
