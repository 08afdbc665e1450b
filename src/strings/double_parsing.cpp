#include "strings/double_parsing.h"

#include <cmath>
#include <limits>

#include "sys/extended_precision.h"

namespace ryl::strings {
namespace {

// Exponents are read up to this; anything larger is infinite or zero in the
// extended format already.
constexpr uint32_t kExponentLimit = 100000;

// A fraction integer at or above this holds more digits than the extended
// format keeps; further digits are read and dropped.
constexpr long double kFractionDigitLimit = 1e30L;

// 10^(2^i): exact up to 10^16, then rounded once by the compiler.
constexpr long double kPowersOfTen[] = {1e1L,   1e2L,   1e4L,    1e8L,    1e16L,   1e32L,  1e64L,
                                        1e128L, 1e256L, 1e512L, 1e1024L, 1e2048L, 1e4096L};

long double PowerOfTen(uint32_t exponent) noexcept {
  long double result = 1.0L;
  for (const long double power : kPowersOfTen) {
    if (exponent == 0) break;
    if ((exponent & 1u) != 0) result *= power;
    exponent >>= 1;
  }
  if (exponent != 0) return std::numeric_limits<long double>::infinity();
  return result;
}

template <typename Char>
bool IsDigit(Char c) noexcept {
  return c >= '0' && c <= '9';
}

template <typename Char>
char LowerAscii(Char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
}

// Whether the text at p (with end) starts with word, ignoring ASCII case.
template <typename Char>
bool StartsWithWord(const Char* p, const Char* end, const char* word) noexcept {
  for (; *word != '\0'; ++word, ++p) {
    if (p == end || static_cast<uint32_t>(*p) > 0x7F || LowerAscii(*p) != *word) return false;
  }
  return true;
}

template <typename Char>
ResultCode Finish(double value, const Char* stop, const Char* end, const Char** outStop, double* outValue,
                  ResultCode success) noexcept {
  *outValue = value;
  if (stop == end || outStop == nullptr) return success;
  *outStop = stop;
  return RYL_E_INVALID_ARG;
}

}  // namespace

template <typename Char>
ResultCode ParseDoubleText(double* outValue, const Char* text, uint32_t length, const Char** outStop,
                           uint32_t flags) noexcept {
  if (outValue == nullptr || (text == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  if (outStop != nullptr) *outStop = nullptr;
  const Char* p = text;
  const Char* const end = text + length;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const double sign = negative ? -1.0 : 1.0;

  if ((flags & kParseDoubleWords) != 0) {
    if (StartsWithWord(p, end, "inf")) {
      p += StartsWithWord(p, end, "infinity") ? 8 : 3;
      return Finish(sign * std::numeric_limits<double>::infinity(), p, end, outStop, outValue, RYL_OK);
    }
    if (StartsWithWord(p, end, "nan")) {
      return Finish(std::numeric_limits<double>::quiet_NaN(), p + 3, end, outStop, outValue, RYL_OK);
    }
  }

  double result;
  {
    const sys::ExtendedPrecisionScope extended;
    long double value;
    long double integer = 0.0L;
    for (; p != end && IsDigit(*p); ++p) integer = integer * 10.0L + static_cast<long double>(*p - '0');
    long double fraction = 0.0L;
    uint32_t fractionDigits = 0;
    if (p != end && (*p == '.' || *p == ',')) {
      for (++p; p != end && IsDigit(*p); ++p) {
        if (fraction >= kFractionDigitLimit) continue;
        fraction = fraction * 10.0L + static_cast<long double>(*p - '0');
        ++fractionDigits;
      }
      for (; fractionDigits >= 8; fractionDigits -= 8) fraction /= 1e8L;
      if (fractionDigits != 0) fraction /= PowerOfTen(fractionDigits);
    }
    value = integer + fraction;
    if (p != end && (*p == 'e' || *p == 'E')) {
      const Char* q = p + 1;
      bool negativeExponent = false;
      if (q != end && (*q == '+' || *q == '-')) negativeExponent = *q++ == '-';
      if (q != end && IsDigit(*q)) {
        uint32_t exponent = 0;
        for (; q != end && IsDigit(*q); ++q) {
          if (exponent < kExponentLimit) exponent = exponent * 10 + static_cast<uint32_t>(*q - '0');
        }
        p = q;
        // A zero stays zero however large the exponent (no 0 * infinity).
        if (value != 0.0L) value = negativeExponent ? value / PowerOfTen(exponent) : value * PowerOfTen(exponent);
      }
    }
    // Rounded to double under the same control word: a host that unmasked
    // overflow must not trap on a number beyond the double range.
    result = sign * static_cast<double>(value);
  }
  return Finish(result, p, end, outStop, outValue, std::isinf(result) ? RYL_W_INFINITE : RYL_OK);
}

template ResultCode ParseDoubleText<char>(double*, const char*, uint32_t, const char**, uint32_t) noexcept;
template ResultCode ParseDoubleText<char16_t>(double*, const char16_t*, uint32_t, const char16_t**,
                                              uint32_t) noexcept;

}  // namespace ryl::strings
