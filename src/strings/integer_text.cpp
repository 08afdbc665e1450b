#include "strings/integer_text.h"

namespace ryl::strings {

uint32_t WriteDigitsBackwards(char* end, uint64_t value, uint32_t base, bool upperCase) noexcept {
  const char* const letters = upperCase ? "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" : "0123456789abcdefghijklmnopqrstuvwxyz";
  char* p = end;
  // 64-bit division is a library call on the 32-bit target; most values fit
  // in 32 bits, so finish those with the processor's own division.
  while (value > UINT32_MAX) {
    *--p = letters[value % base];
    value /= base;
  }
  auto small = static_cast<uint32_t>(value);
  do {
    *--p = letters[small % base];
    small /= base;
  } while (small != 0);
  return static_cast<uint32_t>(end - p);
}

template <typename Char>
ResultCode AppendInteger(FormatTarget<Char>& target, const FormatDirective& directive, bool negative, uint64_t magnitude,
                         uint32_t base) noexcept {
  // 64 binary digits, or up to 32 digits of precision, and a prefix of at
  // most three characters ("-0x" cannot happen; "+0x" can).
  char text[72];
  char* const digitsEnd = text + sizeof(text);
  const uint32_t precision =
      !directive.hasPrecision ? 1 : (directive.precision > kMaxIntegerPrecision ? kMaxIntegerPrecision : directive.precision);
  uint32_t digitCount = 0;
  if (magnitude != 0 || precision != 0) digitCount = WriteDigitsBackwards(digitsEnd, magnitude, base, directive.upperCase);
  char* digits = digitsEnd - digitCount;
  while (digitCount < precision) {
    *--digits = '0';
    ++digitCount;
  }
  if (directive.alternate && base == 8 && (digitCount == 0 || *digits != '0')) {
    *--digits = '0';
    ++digitCount;
  }
  char prefix[3];
  uint32_t prefixLength = 0;
  if (negative) prefix[prefixLength++] = '-';
  else if (directive.plus) prefix[prefixLength++] = '+';
  else if (directive.space) prefix[prefixLength++] = ' ';
  if (directive.alternate && base == 16 && magnitude != 0) {
    prefix[prefixLength++] = '0';
    prefix[prefixLength++] = directive.upperCase ? 'X' : 'x';
  }
  const uint32_t length = prefixLength + digitCount;
  const uint32_t padding = directive.width > length ? directive.width - length : 0;
  ResultCode rc = RYL_OK;
  if (directive.leftJustify) {
    if ((rc = target.AppendAscii(prefix, prefixLength)) < 0) return rc;
    if ((rc = target.AppendAscii(digits, digitCount)) < 0) return rc;
    return target.Repeat(static_cast<Char>(' '), padding);
  }
  // The zero flag pads even when a precision is given, as the Windows
  // runtime does (the C standard would ignore the flag then).
  if (directive.zeroPad) {
    if ((rc = target.AppendAscii(prefix, prefixLength)) < 0) return rc;
    if ((rc = target.Repeat(static_cast<Char>('0'), padding)) < 0) return rc;
    return target.AppendAscii(digits, digitCount);
  }
  if ((rc = target.Repeat(static_cast<Char>(' '), padding)) < 0) return rc;
  if ((rc = target.AppendAscii(prefix, prefixLength)) < 0) return rc;
  return target.AppendAscii(digits, digitCount);
}

template ResultCode AppendInteger<char>(FormatTarget<char>&, const FormatDirective&, bool, uint64_t, uint32_t) noexcept;
template ResultCode AppendInteger<char16_t>(FormatTarget<char16_t>&, const FormatDirective&, bool, uint64_t,
                                            uint32_t) noexcept;

}  // namespace ryl::strings
