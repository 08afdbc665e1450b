#include "strings/format_engine.h"

#include <type_traits>

#include "core/growable_buffer.h"
#include "strings/double_text.h"
#include "strings/format_arguments.h"
#include "strings/format_directive.h"
#include "strings/integer_text.h"
#include "strings/text_conversion.h"

namespace ryl::strings {
namespace {

// The other width of text: narrow for a UTF-16 formatter and UTF-16 for a
// narrow one.
template <typename Char>
using OtherChar = std::conditional_t<sizeof(Char) == 1, char16_t, char>;

template <typename Unit>
uint32_t BoundedLength(const Unit* text, uint32_t limit) noexcept {
  uint32_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

template <typename Char>
ResultCode AppendPadded(FormatTarget<Char>& target, const FormatDirective& directive, const Char* text,
                        uint32_t count) noexcept {
  const uint32_t padding = directive.width > count ? directive.width - count : 0;
  ResultCode rc = RYL_OK;
  if (!directive.leftJustify && (rc = target.Repeat(static_cast<Char>(' '), padding)) < 0) return rc;
  if ((rc = target.Append(text, count)) < 0) return rc;
  return directive.leftJustify ? target.Repeat(static_cast<Char>(' '), padding) : RYL_OK;
}

template <typename Char>
ResultCode AppendNull(FormatTarget<Char>& target, const FormatDirective& directive) noexcept {
  static constexpr Char kNull[] = {'(', 'n', 'u', 'l', 'l', ')'};
  const uint32_t count = directive.hasPrecision && directive.precision < 6 ? directive.precision : 6;
  return AppendPadded(target, directive, kNull, count);
}

uint32_t TakenLength(const FormatDirective& directive, uint32_t available) noexcept {
  return directive.hasPrecision && directive.precision < available ? directive.precision : available;
}

// Text in the formatter's own width.
template <typename Char>
ResultCode AppendOwn(FormatTarget<Char>& target, const FormatDirective& directive, const Char* text,
                     uint32_t available) noexcept {
  if (text == nullptr) return AppendNull(target, directive);
  return AppendPadded(target, directive, text, TakenLength(directive, available));
}

// Narrow text of a given encoding into the UTF-16 formatter, or UTF-16 text
// into the narrow formatter in the options encoding.
ResultCode AppendConverted(FormatTarget<char16_t>& target, const FormatDirective& directive, const char* text,
                           uint32_t count, uint32_t encoding) noexcept {
  core::GrowableBuffer<char16_t> converted;
  const ResultCode rc =
      ConvertToUtf16(converted.Output(), reinterpret_cast<const uint8_t*>(text), count, encoding);
  if (rc < 0) return rc;
  return AppendPadded(target, directive, converted.data(), converted.size());
}

ResultCode AppendConverted(FormatTarget<char>& target, const FormatDirective& directive, const char16_t* text,
                           uint32_t count, uint32_t encoding) noexcept {
  core::GrowableBuffer<uint8_t> converted;
  const ResultCode rc = ConvertFromUtf16(converted.Output(), text, count, encoding);
  if (rc < 0) return rc;
  return AppendPadded(target, directive, reinterpret_cast<const char*>(converted.data()), converted.size());
}

template <typename Char>
ResultCode AppendOther(FormatTarget<Char>& target, const FormatDirective& directive, const OtherChar<Char>* text,
                       uint32_t available, uint32_t encoding) noexcept {
  if (text == nullptr) return AppendNull(target, directive);
  return AppendConverted(target, directive, text, TakenLength(directive, available), encoding);
}

// %Z: narrow counted text is in the ANSI code page; %wZ is UTF-16.
template <typename Char>
ResultCode AppendCounted(uint32_t options, FormatTarget<Char>& target, const FormatDirective& directive,
                         const RylCountedString* counted, bool wide) noexcept {
  if (counted == nullptr || counted->text == nullptr) return AppendNull(target, directive);
  if (wide) {
    const auto* text = static_cast<const char16_t*>(counted->text);
    const uint32_t units = counted->length / 2u;
    if constexpr (sizeof(Char) == 2) return AppendOwn(target, directive, text, units);
    else return AppendOther(target, directive, text, units, options);
  } else {
    const auto* text = static_cast<const char*>(counted->text);
    if constexpr (sizeof(Char) == 2) {
      return AppendOther(target, directive, text, counted->length, RYL_ENCODING_ANSI);
    } else {
      if (options == RYL_ENCODING_ANSI) return AppendOwn(target, directive, text, counted->length);
      core::GrowableBuffer<uint8_t> recoded;
      const ResultCode rc = Recode(recoded.Output(), reinterpret_cast<const uint8_t*>(text),
                                   TakenLength(directive, counted->length), options, RYL_ENCODING_ANSI);
      if (rc < 0) return rc;
      return AppendPadded(target, directive, reinterpret_cast<const char*>(recoded.data()), recoded.size());
    }
  }
}

bool IsIntegerConversion(uint32_t c) noexcept {
  return c == 'd' || c == 'i' || c == 'u' || c == 'o' || c == 'x' || c == 'X';
}

template <typename Char>
ResultCode AppendIntegerArgument(FormatTarget<Char>& target, const FormatDirective& directive,
                                 FormatArguments& arguments) noexcept {
  // With w an integer conversion writes nothing and takes nothing.
  if (directive.modifier == LengthModifier::kWide) return RYL_OK;
  const bool isSigned = directive.conversion == 'd' || directive.conversion == 'i';
  uint64_t bits;
  uint32_t width;
  switch (directive.modifier) {
    case LengthModifier::kInt64:
    case LengthModifier::kLongLong:
      bits = static_cast<uint64_t>(arguments.TakeInt64());
      width = 64;
      break;
    case LengthModifier::kHalfHalf:
      bits = static_cast<uint32_t>(arguments.TakeInt32());
      width = 8;
      break;
    case LengthModifier::kHalf:
      bits = static_cast<uint32_t>(arguments.TakeInt32());
      width = 16;
      break;
    default:
      bits = static_cast<uint32_t>(arguments.TakeInt32());
      width = 32;
      break;
  }
  if (width < 64) bits &= (uint64_t{1} << width) - 1;
  bool negative = false;
  if (isSigned && width < 64 && (bits >> (width - 1)) != 0) {
    negative = true;
    bits = (uint64_t{1} << width) - bits;
  } else if (isSigned && width == 64 && static_cast<int64_t>(bits) < 0) {
    negative = true;
    bits = uint64_t{0} - bits;
  }
  const uint32_t base = directive.conversion == 'o' ? 8 : (directive.conversion == 'x' || directive.conversion == 'X') ? 16 : 10;
  return AppendInteger(target, directive, negative, bits, base);
}

// s and S with their modifiers: the own width, the other width, or (for any
// other modifier) not a string conversion at all.
enum class StringKind { kOwn, kOther, kLiteral };

template <typename Char>
StringKind KindOfString(const FormatDirective& directive) noexcept {
  const LengthModifier m = directive.modifier;
  const bool narrowFormatter = sizeof(Char) == 1;
  // Narrow formatter: %s and %hs narrow, %ls wide; %S and %lS wide, %hS
  // narrow. The UTF-16 formatter exchanges narrow and wide.
  const bool lowerS = directive.conversion == 's';
  if (m == LengthModifier::kNone) return lowerS ? StringKind::kOwn : StringKind::kOther;
  if (m == LengthModifier::kHalf) return narrowFormatter ? StringKind::kOwn : StringKind::kOther;
  if (m == LengthModifier::kLong) return narrowFormatter ? StringKind::kOther : StringKind::kOwn;
  return StringKind::kLiteral;
}

template <typename Char>
ResultCode FormatLoop(uint32_t options, FormatTarget<Char>& target, const Char* p,
                      FormatArguments& arguments) noexcept {
  ResultCode rc = RYL_OK;
  for (;;) {
    const Char* run = p;
    while (*p != 0 && *p != '%') ++p;
    if (p != run && (rc = target.Append(run, static_cast<uint32_t>(p - run))) < 0) return rc;
    if (*p == 0) return RYL_OK;
    const Char* const percent = p;
    FormatDirective directive;
    const Char* const next = ParseFormatDirective(percent + 1, arguments, &directive);
    if (next == nullptr) {
      if ((rc = target.Append(percent, 1)) < 0) return rc;
      p = percent + 1;
      continue;
    }
    p = next;
    if (directive.width > kMaxFieldWidth) return RYL_E_INVALID_ARG;
    const uint32_t c = directive.conversion;
    const uint32_t unbounded = UINT32_MAX;
    if (c == '%') {
      const Char percentSign = '%';
      rc = target.Append(&percentSign, 1);
    } else if (IsIntegerConversion(c)) {
      rc = AppendIntegerArgument(target, directive, arguments);
    } else if (c == 'c') {
      const auto unit = static_cast<uint32_t>(arguments.TakeInt32());
      const Char ch = static_cast<Char>(sizeof(Char) == 1 ? (unit & 0xFFu) : (unit & 0xFFFFu));
      rc = target.Append(&ch, 1);
    } else if (c == 's' || c == 'S') {
      switch (KindOfString<Char>(directive)) {
        case StringKind::kOwn: {
          const Char* text = arguments.TakePointer<Char>();
          rc = text == nullptr ? AppendNull(target, directive)
                               : AppendOwn(target, directive, text,
                                           BoundedLength(text, directive.hasPrecision ? directive.precision : unbounded));
          break;
        }
        case StringKind::kOther: {
          const auto* text = arguments.TakePointer<OtherChar<Char>>();
          rc = text == nullptr
                   ? AppendNull(target, directive)
                   : AppendOther(target, directive, text,
                                 BoundedLength(text, directive.hasPrecision ? directive.precision : unbounded), options);
          break;
        }
        case StringKind::kLiteral:
          rc = target.Append(percent, static_cast<uint32_t>(next - percent));
          break;
      }
    } else if (c == 'Z' && (directive.modifier == LengthModifier::kNone || directive.modifier == LengthModifier::kWide)) {
      rc = AppendCounted(options, target, directive, arguments.TakePointer<RylCountedString>(),
                         directive.modifier == LengthModifier::kWide);
    } else if (c == 'r' && directive.modifier == LengthModifier::kNone) {
      const Char* text = arguments.TakePointer<Char>();
      const auto length = static_cast<uint32_t>(arguments.TakeInt32());
      rc = AppendOwn(target, directive, text, length);
    } else if (c == 'p') {
      FormatDirective pointer = directive;
      pointer.zeroPad = true;
      rc = AppendInteger(target, pointer, false, arguments.TakePointerValue(), 16);
    } else if (c == 'e' || c == 'E' || c == 'f' || c == 'g' || c == 'G') {
      rc = AppendDouble(target, directive, arguments.TakeDouble());
    } else {
      rc = target.Append(percent, static_cast<uint32_t>(next - percent));
    }
    if (rc < 0) return rc;
  }
}

}  // namespace

template <typename Char>
ResultCode Format(uint32_t options, FormatTarget<Char>& target, const Char* format, va_list arguments) noexcept {
  if (format == nullptr) return RYL_E_INVALID_ARG;
  va_list list;
  va_copy(list, arguments);
  FormatArguments reader(&list);
  const ResultCode rc = FormatLoop(options, target, format, reader);
  va_end(list);
  // The text before a failing directive is kept.
  const ResultCode finished = target.Finish();
  return rc < 0 ? rc : finished;
}

template ResultCode Format<char>(uint32_t, FormatTarget<char>&, const char*, va_list) noexcept;
template ResultCode Format<char16_t>(uint32_t, FormatTarget<char16_t>&, const char16_t*, va_list) noexcept;

}  // namespace ryl::strings
