#include "strings/double_text.h"

#include <cmath>

#include "sys/classic_locale_format.h"
#include "sys/heap_bytes.h"

namespace ryl::strings {
namespace {

char* WriteDecimal(char* p, uint32_t value) noexcept {
  char digits[10];
  uint32_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count != 0) *p++ = digits[--count];
  return p;
}

// "%" flags width "." precision letter, as the runtime reads it.
void BuildRuntimeFormat(const FormatDirective& directive, uint32_t precision, char* format) noexcept {
  char* p = format;
  *p++ = '%';
  if (directive.leftJustify) *p++ = '-';
  if (directive.plus) *p++ = '+';
  if (directive.zeroPad) *p++ = '0';
  if (directive.alternate) *p++ = '#';
  if (directive.space) *p++ = ' ';
  p = WriteDecimal(p, directive.width);
  *p++ = '.';
  p = WriteDecimal(p, precision);
  *p++ = static_cast<char>(directive.conversion);
  *p = '\0';
}

template <typename Char>
ResultCode AppendSpecialValue(FormatTarget<Char>& target, const FormatDirective& directive, double value) noexcept {
  char text[4];
  uint32_t length = 0;
  const bool infinite = std::isinf(value);
  if (infinite && std::signbit(value)) text[length++] = '-';
  else if (directive.plus) text[length++] = '+';
  else if (directive.space) text[length++] = ' ';
  const uint32_t signLength = length;
  const char* word = infinite ? "inf" : "nan";
  for (int i = 0; i < 3; ++i) text[length++] = word[i];
  const uint32_t padding = directive.width > length ? directive.width - length : 0;
  ResultCode rc = RYL_OK;
  if (directive.leftJustify) {
    if ((rc = target.AppendAscii(text, length)) < 0) return rc;
    return target.Repeat(static_cast<Char>(' '), padding);
  }
  if (directive.zeroPad) {
    if ((rc = target.AppendAscii(text, signLength)) < 0) return rc;
    if ((rc = target.Repeat(static_cast<Char>('0'), padding)) < 0) return rc;
    return target.AppendAscii(text + signLength, length - signLength);
  }
  if ((rc = target.Repeat(static_cast<Char>(' '), padding)) < 0) return rc;
  return target.AppendAscii(text, length);
}

}  // namespace

template <typename Char>
ResultCode AppendDouble(FormatTarget<Char>& target, const FormatDirective& directive, double value) noexcept {
  if (!std::isfinite(value)) return AppendSpecialValue(target, directive, value);
  const uint32_t precision =
      !directive.hasPrecision ? 6 : (directive.precision > kMaxFloatPrecision ? kMaxFloatPrecision : directive.precision);
  char format[40];
  BuildRuntimeFormat(directive, precision, format);
  // Most numbers fit a small buffer at the first try; the rest are measured
  // and formatted again into a block of their own size.
  char local[128];
  int length = sys::FormatDoubleClassic(local, sizeof(local), format, value);
  if (length >= 0) return target.AppendAscii(local, static_cast<uint32_t>(length));
  length = sys::FormatDoubleClassic(nullptr, 0, format, value);
  if (length < 0) return RYL_E_BAD_FORMAT;
  sys::HeapBytes block;
  if (!block.Allocate(static_cast<uint32_t>(length) + 1)) return RYL_E_OUT_OF_MEMORY;
  char* text = reinterpret_cast<char*>(block.data());
  if (sys::FormatDoubleClassic(text, block.size(), format, value) != length) return RYL_E_BAD_FORMAT;
  return target.AppendAscii(text, static_cast<uint32_t>(length));
}

template ResultCode AppendDouble<char>(FormatTarget<char>&, const FormatDirective&, double) noexcept;
template ResultCode AppendDouble<char16_t>(FormatTarget<char16_t>&, const FormatDirective&, double) noexcept;

}  // namespace ryl::strings
