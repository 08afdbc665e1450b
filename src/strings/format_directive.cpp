#include "strings/format_directive.h"

#include <type_traits>

namespace ryl::strings {
namespace {

template <typename Char>
bool IsDigit(Char c) noexcept {
  return c >= '0' && c <= '9';
}

template <typename Char>
const Char* ReadCount(const Char* p, uint32_t* out) noexcept {
  uint64_t value = 0;
  for (; IsDigit(*p); ++p) {
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > UINT32_MAX) value = UINT32_MAX;
  }
  *out = static_cast<uint32_t>(value);
  return p;
}

struct ModifierText {
  char text[4];
  uint8_t length;
  LengthModifier id;
};

// Tried in this order, so "I32" and "I64" win over "I", and "ll" and "hh"
// over "l" and "h".
constexpr ModifierText kModifiers[] = {
    {"I32", 3, LengthModifier::kInt32}, {"I64", 3, LengthModifier::kInt64},  {"ll", 2, LengthModifier::kLongLong},
    {"hh", 2, LengthModifier::kHalfHalf}, {"l", 1, LengthModifier::kLong},  {"h", 1, LengthModifier::kHalf},
    {"w", 1, LengthModifier::kWide},     {"I", 1, LengthModifier::kPointer}, {"z", 1, LengthModifier::kPointer},
};

template <typename Char>
const Char* ReadModifier(const Char* p, LengthModifier* out) noexcept {
  for (const ModifierText& m : kModifiers) {
    uint8_t i = 0;
    while (i < m.length && p[i] == static_cast<Char>(m.text[i])) ++i;
    // Taken only when a character follows it.
    if (i == m.length && p[i] != 0) {
      *out = m.id;
      return p + i;
    }
  }
  *out = LengthModifier::kNone;
  return p;
}

}  // namespace

template <typename Char>
const Char* ParseFormatDirective(const Char* p, FormatArguments& arguments, FormatDirective* directive) noexcept {
  *directive = FormatDirective{};
  for (;; ++p) {
    if (*p == ' ') directive->space = true;
    else if (*p == '#') directive->alternate = true;
    else if (*p == '+') directive->plus = true;
    else if (*p == '-') directive->leftJustify = true;
    else if (*p == '0') directive->zeroPad = true;
    else break;
  }
  if (*p == '*') {
    ++p;
    directive->widthFromArgument = true;
    const int32_t width = arguments.TakeInt32();
    if (width < 0) {
      directive->leftJustify = true;
      directive->width = 0u - static_cast<uint32_t>(width);
    } else {
      directive->width = static_cast<uint32_t>(width);
    }
  } else {
    p = ReadCount(p, &directive->width);
  }
  if (*p == '.') {
    ++p;
    directive->hasPrecision = true;
    if (*p == '*') {
      ++p;
      directive->precisionFromArgument = true;
      const int32_t precision = arguments.TakeInt32();
      if (precision < 0) {
        directive->hasPrecision = false;
      } else {
        directive->precision = static_cast<uint32_t>(precision);
      }
    } else {
      p = ReadCount(p, &directive->precision);
    }
  }
  p = ReadModifier(p, &directive->modifier);
  const auto conversion = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(*p));
  if (conversion < 0x20) return nullptr;
  directive->conversion = conversion;
  directive->upperCase = conversion == 'X' || conversion == 'E' || conversion == 'G';
  return p + 1;
}

template const char* ParseFormatDirective<char>(const char*, FormatArguments&, FormatDirective*) noexcept;
template const char16_t* ParseFormatDirective<char16_t>(const char16_t*, FormatArguments&, FormatDirective*) noexcept;

}  // namespace ryl::strings
