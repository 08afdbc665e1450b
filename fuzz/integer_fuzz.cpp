// The integer parsers, 8-bit and UTF-16, against a reference that follows the
// rules integer_parsing.h states, written for clarity rather than speed
// (128-bit arithmetic instead of the overflow-free comparison).
//
// Input: base, width, flags (bit 0: ask for the stop position), then text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz_check.h"
#include "strings/integer_parsing.h"

namespace {

struct Outcome {
  ResultCode rc = RYL_OK;
  std::optional<uint64_t> value;     // empty: left untouched
  std::optional<size_t> stop;        // empty: null
};

constexpr uint64_t kUntouched = 0x5A5A5A5A5A5A5A5Aull;

uint32_t Digit(uint32_t unit) {
  if (unit >= '0' && unit <= '9') return unit - '0';
  if (unit >= 'a' && unit <= 'z') return unit - 'a' + 10;
  if (unit >= 'A' && unit <= 'Z') return unit - 'A' + 10;
  return UINT32_MAX;
}

// Base 0 and 16 take a "0x" prefix when at least three units remain.
uint32_t ResolveBase(const std::vector<uint32_t>& units, size_t* position, uint32_t base) {
  const size_t i = *position;
  if ((base == 0 || base == 16) && units.size() - i >= 3 && units[i] == '0' &&
      (units[i + 1] == 'x' || units[i + 1] == 'X')) {
    *position = i + 2;
    return 16;
  }
  return base == 0 ? 10 : base;
}

Outcome Finish(uint64_t value, size_t position, size_t end, bool askStop) {
  Outcome outcome;
  outcome.value = value;
  if (position != end && askStop) {
    outcome.rc = RYL_E_INVALID_ARG;
    outcome.stop = position;
  }
  return outcome;
}

uint64_t Accumulate(const std::vector<uint32_t>& units, size_t* position, uint32_t base, unsigned __int128 limit) {
  unsigned __int128 value = 0;
  size_t i = *position;
  for (; i < units.size(); ++i) {
    const uint32_t digit = Digit(units[i]);
    if (digit >= base) break;
    const unsigned __int128 next = value * base + digit;
    if (next > limit) break;
    value = next;
  }
  *position = i;
  return static_cast<uint64_t>(value);
}

Outcome ReferenceUnsigned(const std::vector<uint32_t>& units, uint32_t base, bool askStop) {
  if (units.empty()) return Finish(0, 0, 0, askStop);
  if (units[0] == '-') {
    Outcome refused;
    refused.rc = RYL_E_INVALID_ARG;
    if (askStop) refused.stop = 0;
    return refused;
  }
  size_t i = 0;
  base = ResolveBase(units, &i, base);
  const uint64_t value = Accumulate(units, &i, base, UINT64_MAX);
  return Finish(value, i, units.size(), askStop);
}

Outcome ReferenceSigned(const std::vector<uint32_t>& units, uint32_t base, bool askStop, uint32_t width) {
  if (width < 1 || width > 8) return Outcome{RYL_E_INVALID_ARG, std::nullopt, std::nullopt};
  if (units.empty()) return Finish(0, 0, 0, askStop);
  const bool negative = units[0] == '-';
  size_t i = negative ? 1 : 0;
  base = ResolveBase(units, &i, base);
  const uint32_t bits = 8 * width;
  const unsigned __int128 half = static_cast<unsigned __int128>(1) << (bits - 1);
  unsigned __int128 limit = half - 1;
  if (negative) {
    limit = half;
  } else if (base == 16) {
    limit = (static_cast<unsigned __int128>(1) << bits) - 1;
  }
  const uint64_t magnitude = Accumulate(units, &i, base, limit);
  return Finish(negative ? uint64_t{0} - magnitude : magnitude, i, units.size(), askStop);
}

template <typename Char>
Outcome RunUnsigned(const std::vector<Char>& text, uint32_t base, bool askStop) {
  uint64_t value = kUntouched;
  const Char* stop = reinterpret_cast<const Char*>(&value);  // any non-null pointer
  const ResultCode rc = ryl::strings::ParseUnsigned<Char>(&value, text.data(), static_cast<uint32_t>(text.size()),
                                                          base, askStop ? &stop : nullptr);
  Outcome outcome;
  outcome.rc = rc;
  if (value != kUntouched) outcome.value = value;
  if (askStop && stop != nullptr) {
    FUZZ_CHECK(stop >= text.data() && stop <= text.data() + text.size());
    outcome.stop = static_cast<size_t>(stop - text.data());
  }
  return outcome;
}

template <typename Char>
Outcome RunSigned(const std::vector<Char>& text, uint32_t base, bool askStop, uint32_t width) {
  int64_t value = static_cast<int64_t>(kUntouched);
  const Char* stop = nullptr;
  const ResultCode rc = ryl::strings::ParseSigned<Char>(&value, text.data(), static_cast<uint32_t>(text.size()),
                                                        base, askStop ? &stop : nullptr, width);
  Outcome outcome;
  outcome.rc = rc;
  if (static_cast<uint64_t>(value) != kUntouched) outcome.value = static_cast<uint64_t>(value);
  if (askStop && stop != nullptr) {
    FUZZ_CHECK(stop >= text.data() && stop <= text.data() + text.size());
    outcome.stop = static_cast<size_t>(stop - text.data());
  }
  return outcome;
}

// A value that happens to equal the marker reads as untouched on both sides.
void CheckSame(const Outcome& actual, const Outcome& expected, bool compareStop) {
  FUZZ_CHECK(actual.rc == expected.rc);
  const uint64_t expectedValue = expected.value.value_or(kUntouched);
  FUZZ_CHECK(actual.value.value_or(kUntouched) == expectedValue);
  if (compareStop) FUZZ_CHECK(actual.stop == expected.stop);
}

template <typename Char>
void CheckText(const std::vector<Char>& text, const std::vector<uint32_t>& units, uint32_t base, uint32_t width,
               bool askStop) {
  CheckSame(RunUnsigned(text, base, askStop), ReferenceUnsigned(units, base, askStop), true);
  // An invalid width is refused before the stop position is touched.
  const bool validWidth = width >= 1 && width <= 8;
  CheckSame(RunSigned(text, base, askStop, width), ReferenceSigned(units, base, askStop, width), validWidth);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint32_t base = data[0] % 40;  // 37 and above: every letter is a digit
  const uint32_t width = data[1] % 10;  // 0 and 9: refused
  const bool askStop = (data[2] & 1) != 0;
  const uint8_t* text = data + 3;
  const size_t length = size - 3;

  // The same units as bytes and as UTF-16.
  std::vector<uint32_t> units(text, text + length);
  CheckText(std::vector<char>(text, text + length), units, base, width, askStop);
  CheckText(std::vector<char16_t>(text, text + length), units, base, width, askStop);

  // UTF-16 units beyond one byte are never digits.
  std::vector<char16_t> wide(length / 2);
  std::vector<uint32_t> wideUnits(length / 2);
  for (size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
    wideUnits[i] = wide[i];
  }
  CheckText(wide, wideUnits, base, width, askStop);
  return 0;
}
