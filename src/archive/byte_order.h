// Little-endian fields of the ZIP records, read from and written into byte
// arrays whatever the host's byte order, so that the format code also builds
// natively for fuzzing.
#pragma once

#include <cstdint>

namespace ryl::archive {

inline uint16_t LoadLe16(const uint8_t* p) noexcept { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t LoadLe32(const uint8_t* p) noexcept {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline uint64_t LoadLe64(const uint8_t* p) noexcept {
  return uint64_t{LoadLe32(p)} | (uint64_t{LoadLe32(p + 4)} << 32);
}

inline void StoreLe16(uint8_t* p, uint16_t v) noexcept {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreLe32(uint8_t* p, uint32_t v) noexcept {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void StoreLe64(uint8_t* p, uint64_t v) noexcept {
  StoreLe32(p, static_cast<uint32_t>(v));
  StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace ryl::archive
