// The Blowfish key schedule and block transformation, as published (16
// rounds), on blocks whose halves are given as words.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ryl::crypto {

struct BlowfishSchedule {
  uint32_t* p;  // 18 words
  uint32_t* s;  // 4 x 256 words, one box after another
};

// Keys of 4 to 56 bytes; the arrays must be allocated.
void ExpandBlowfishKey(BlowfishSchedule& schedule, const uint8_t* key, size_t length) noexcept;
void EncryptBlowfishBlock(const BlowfishSchedule& schedule, uint32_t& left, uint32_t& right) noexcept;
void DecryptBlowfishBlock(const BlowfishSchedule& schedule, uint32_t& left, uint32_t& right) noexcept;

}  // namespace ryl::crypto
