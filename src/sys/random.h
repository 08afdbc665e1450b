// Random numbers from the system's cryptographic generator. Used where a value
// must not be guessable (encryption headers) or must not collide (names).
#pragma once

#include <cstddef>
#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

[[nodiscard]] ResultCode RylGenerateRandomDWord(uint32_t* outValue) noexcept;
[[nodiscard]] ResultCode RylGenerateRandomBytes(void* buffer, size_t length) noexcept;

}  // namespace ryl::sys
