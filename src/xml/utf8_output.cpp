#include "xml/utf8_output.h"

namespace ryl::xml {
namespace {
bool IsHigh(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }
}  // namespace

bool IsConvertible(const char16_t* text, size_t length) noexcept {
  for (size_t i = 0; i < length; ++i) {
    if (IsHigh(text[i])) {
      if (i + 1 == length || !IsLow(text[i + 1])) return false;
      ++i;
    } else if (IsLow(text[i])) {
      return false;
    }
  }
  return true;
}

size_t EncodeUtf8(const char16_t* text, size_t length, uint8_t* out) noexcept {
  uint8_t* at = out;
  for (size_t i = 0; i < length; ++i) {
    uint32_t unit = text[i];
    if (unit < 0x80) {
      *at++ = static_cast<uint8_t>(unit);
    } else if (unit < 0x800) {
      *at++ = static_cast<uint8_t>(0xC0 | (unit >> 6));
      *at++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
    } else if (IsHigh(static_cast<char16_t>(unit)) && i + 1 < length) {
      const uint32_t code = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00u);
      *at++ = static_cast<uint8_t>(0xF0 | (code >> 18));
      *at++ = static_cast<uint8_t>(0x80 | ((code >> 12) & 0x3F));
      *at++ = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
      *at++ = static_cast<uint8_t>(0x80 | (code & 0x3F));
    } else {
      *at++ = static_cast<uint8_t>(0xE0 | (unit >> 12));
      *at++ = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
      *at++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
    }
  }
  return static_cast<size_t>(at - out);
}

ResultCode ToUtf8(const char16_t* text, size_t length, std::string* out) {
  if (!IsConvertible(text, length)) return RYL_E_BAD_FORMAT;
  out->resize(length * 3);
  out->resize(EncodeUtf8(text, length, reinterpret_cast<uint8_t*>(out->data())));
  return RYL_OK;
}

}  // namespace ryl::xml
