#include "strings/integer_parsing.h"

#include <type_traits>

namespace ryl::strings {
namespace {

constexpr uint32_t kNotADigit = 0xFFFFFFFFu;

template <typename Char>
uint32_t DigitValue(Char c) noexcept {
  const uint32_t unit = static_cast<std::make_unsigned_t<Char>>(c);
  if (unit >= '0' && unit <= '9') return unit - '0';
  if (unit >= 'a' && unit <= 'z') return unit - 'a' + 10;
  if (unit >= 'A' && unit <= 'Z') return unit - 'A' + 10;
  return kNotADigit;
}

// Resolves base 0 and skips a hexadecimal prefix where one is allowed.
template <typename Char>
uint32_t ResolveBase(const Char*& p, const Char* end, uint32_t base) noexcept {
  if ((base == 0 || base == 16) && end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
    return 16;
  }
  return base == 0 ? 10 : base;
}

// Accumulates digits up to limit; returns where the parse stopped.
template <typename Char>
const Char* Accumulate(const Char* p, const Char* end, uint32_t base, uint64_t limit, uint64_t* outValue) noexcept {
  // value * base + digit > limit, without overflowing and without a 64-bit
  // division per digit.
  const uint64_t quotient = limit / base;
  const uint64_t remainder = limit % base;
  uint64_t value = 0;
  for (; p != end; ++p) {
    const uint32_t digit = DigitValue(*p);
    if (digit >= base) break;
    if (value > quotient || (value == quotient && digit > remainder)) break;
    value = value * base + digit;
  }
  *outValue = value;
  return p;
}

template <typename Char>
ResultCode Finish(const Char* stop, const Char* end, const Char** outStop) noexcept {
  if (stop == end || outStop == nullptr) return RYL_OK;
  *outStop = stop;
  return RYL_E_INVALID_ARG;
}

}  // namespace

template <typename Char>
ResultCode ParseUnsigned(uint64_t* outValue, const Char* text, uint32_t length, uint32_t base,
                         const Char** outStop) noexcept {
  if (outValue == nullptr || (text == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  if (outStop != nullptr) *outStop = nullptr;
  if (length == 0) {
    *outValue = 0;
    return RYL_OK;
  }
  if (text[0] == '-') {
    if (outStop != nullptr) *outStop = text;
    return RYL_E_INVALID_ARG;
  }
  const Char* p = text;
  const Char* const end = text + length;
  base = ResolveBase(p, end, base);
  uint64_t value = 0;
  const Char* stop = Accumulate(p, end, base, UINT64_MAX, &value);
  *outValue = value;
  return Finish(stop, end, outStop);
}

template <typename Char>
ResultCode ParseSigned(int64_t* outValue, const Char* text, uint32_t length, uint32_t base, const Char** outStop,
                       uint32_t width) noexcept {
  if (outValue == nullptr || (text == nullptr && length != 0) || width < 1 || width > 8) return RYL_E_INVALID_ARG;
  if (outStop != nullptr) *outStop = nullptr;
  if (length == 0) {
    *outValue = 0;
    return RYL_OK;
  }
  const Char* p = text;
  const Char* const end = text + length;
  const bool negative = *p == '-';
  if (negative) ++p;
  base = ResolveBase(p, end, base);
  const uint32_t bits = 8 * width;
  const uint64_t half = uint64_t{1} << (bits - 1);
  uint64_t limit;
  if (negative) {
    limit = half;
  } else if (base == 16) {
    limit = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
  } else {
    limit = half - 1;
  }
  uint64_t magnitude = 0;
  const Char* stop = Accumulate(p, end, base, limit, &magnitude);
  *outValue = static_cast<int64_t>(negative ? uint64_t{0} - magnitude : magnitude);
  return Finish(stop, end, outStop);
}

template ResultCode ParseUnsigned<char>(uint64_t*, const char*, uint32_t, uint32_t, const char**) noexcept;
template ResultCode ParseUnsigned<char16_t>(uint64_t*, const char16_t*, uint32_t, uint32_t,
                                            const char16_t**) noexcept;
template ResultCode ParseSigned<char>(int64_t*, const char*, uint32_t, uint32_t, const char**, uint32_t) noexcept;
template ResultCode ParseSigned<char16_t>(int64_t*, const char16_t*, uint32_t, uint32_t, const char16_t**,
                                          uint32_t) noexcept;

}  // namespace ryl::strings
