// UTF-16 to UTF-8 as the writer needs it: a surrogate pair becomes one
// four-byte sequence, a lone surrogate is refused (RYL_E_BAD_FORMAT).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ryl/result.h"

namespace ryl::xml {

// Whether the text converts: no lone surrogate.
bool IsConvertible(const char16_t* text, size_t length) noexcept;

// Encodes text that IsConvertible accepted into out, which must have room for
// 3 bytes per unit; returns the bytes written.
size_t EncodeUtf8(const char16_t* text, size_t length, uint8_t* out) noexcept;

// The whole text as UTF-8; RYL_E_BAD_FORMAT for a lone surrogate.
[[nodiscard]] ResultCode ToUtf8(const char16_t* text, size_t length, std::string* out);

}  // namespace ryl::xml
