// Text a host hands over as (pointer, length in UTF-16 units). Where an
// operation says so, the length 0xFFFFFFFF means that the text runs up to its
// first zero unit; this is the one place that rule is written.
#pragma once

#include <cstdint>
#include <string_view>

namespace ryl::core {

inline constexpr uint32_t kZeroTerminated = 0xFFFFFFFFu;

// The host's units as the library's UTF-16 text. RylChar16 is wchar_t where
// the SDK is compiled for Windows; both are 16-bit code units.
template <typename Unit>
const char16_t* AsUtf16(const Unit* text) noexcept {
  static_assert(sizeof(Unit) == sizeof(char16_t), "UTF-16 code units");
  return reinterpret_cast<const char16_t*>(text);
}

// A view of the text; kZeroTerminated is measured. A null pointer is the
// empty text whatever the length says: callers that must refuse it check
// first.
template <typename Unit>
std::u16string_view HostText(const Unit* text, uint32_t length) noexcept {
  if (text == nullptr) return {};
  if (length == kZeroTerminated) return std::u16string_view(AsUtf16(text));
  return std::u16string_view(AsUtf16(text), length);
}

}  // namespace ryl::core
