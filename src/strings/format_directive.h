// One conversion directive of a format text, from its "%" to its
// conversion character.
#pragma once

#include <cstdint>

#include "strings/format_arguments.h"

namespace ryl::strings {

enum class LengthModifier : uint8_t {
  kNone = 0,
  kWide = 1,     // w
  kHalf = 3,     // h
  kHalfHalf = 2, // hh
  kLong = 4,     // l
  kPointer = 5,  // I, z
  kInt32 = 6,    // I32
  kInt64 = 7,    // I64
  kLongLong = 8, // ll
};

struct FormatDirective {
  bool leftJustify = false;
  bool plus = false;
  bool internal = false;
  bool zeroPad = false;
  bool space = false;
  bool alternate = false;
  bool upperCase = false;
  bool hasPrecision = false;
  uint32_t width = 0;
  uint32_t precision = 0;
  LengthModifier modifier = LengthModifier::kNone;
  bool widthFromArgument = false;
  bool precisionFromArgument = false;
  uint32_t conversion = 0;
};

// Widths beyond this are refused: the padding would be written out unit by
// unit, and a width read from a stray argument would otherwise ask for
// gigabytes of spaces.
inline constexpr uint32_t kMaxFieldWidth = 1u << 20;

// Parses the directive that starts after a "%" at text. "*" widths and
// precisions are taken from arguments as they are met. Returns the position
// after the conversion character, or null when the text ends first or the
// conversion character is a control character (the caller then writes a
// single "%" and goes on after it). A width or precision written with more
// digits than fit saturates at UINT32_MAX; a negative "*" width means
// left-justified with its magnitude, a negative "*" precision means none.
template <typename Char>
const Char* ParseFormatDirective(const Char* text, FormatArguments& arguments, FormatDirective* directive) noexcept;

extern template const char* ParseFormatDirective<char>(const char*, FormatArguments&, FormatDirective*) noexcept;
extern template const char16_t* ParseFormatDirective<char16_t>(const char16_t*, FormatArguments&, FormatDirective*) noexcept;

}  // namespace ryl::strings
