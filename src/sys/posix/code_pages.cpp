// The system code pages for the portable (fuzzing) build: a deterministic
// stand-in with ISO-8859-1 as both the ANSI and the OEM code page, so results
// do not depend on the host's locale. Like the native routines it refuses a
// destination that has no room for the text and its terminating zero, and
// it reports itself single-byte unless a test says otherwise.
#include "sys/code_pages.h"

#include <atomic>

namespace ryl::sys {
namespace {

// The native counted-string fields are 16-bit byte counts.
constexpr uint32_t kMaxFieldBytes = 0xFFFF;

// What a 16-bit byte field leaves of capacity elements of the given size.
uint32_t FieldBytes(uint32_t elements, uint32_t elementSize) noexcept {
  const uint64_t bytes = uint64_t{elements} * elementSize;
  return static_cast<uint32_t>(bytes > kMaxFieldBytes ? kMaxFieldBytes : bytes);
}

// The native routines need the text's bytes to stay below the field's
// maximum, which keeps one element free for the zero.
bool HasRoom(uint32_t textElements, uint32_t elementSize, uint32_t capacity) noexcept {
  return uint64_t{textElements} * elementSize < FieldBytes(capacity, elementSize);
}

std::atomic<int> g_multibyteOverride{-1};

}  // namespace

bool RylIsMultibyteCodePage() noexcept {
  const int forced = g_multibyteOverride.load(std::memory_order_relaxed);
  return forced > 0;
}

void RylOverrideMultibyteCodePageForTesting(int answer) noexcept {
  g_multibyteOverride.store(answer < 0 ? -1 : (answer != 0 ? 1 : 0), std::memory_order_relaxed);
}

// ISO-8859-1 maps one byte to one unit and back, so sizes equal lengths.
uint32_t RylCodePageToUtf16Size(RylCodePage, const uint8_t*, uint32_t length) noexcept { return length; }

uint32_t RylUtf16ToCodePageSize(RylCodePage, const char16_t*, uint32_t units) noexcept { return units; }

ResultCode RylCodePageToUtf16(RylCodePage, const uint8_t* text, uint32_t length, char16_t* destination,
                              uint32_t capacity, uint32_t* outProduced) noexcept {
  if (length > kRylCodePageChunkBytes || outProduced == nullptr) return RYL_E_INVALID_ARG;
  if (!HasRoom(length, sizeof(char16_t), capacity)) return RYL_E_OUT_OF_RANGE;
  for (uint32_t i = 0; i < length; ++i) destination[i] = text[i];
  destination[length] = 0;
  *outProduced = length;
  return RYL_OK;
}

ResultCode RylUtf16ToCodePage(RylCodePage, const char16_t* text, uint32_t units, uint8_t* destination,
                              uint32_t capacity, uint32_t* outProduced) noexcept {
  if (units > kRylCodePageChunkUnits || outProduced == nullptr) return RYL_E_INVALID_ARG;
  if (!HasRoom(units, 1, capacity)) return RYL_E_OUT_OF_RANGE;
  // Units outside Latin-1 (surrogates included) have no byte: the system's
  // default character stands in.
  for (uint32_t i = 0; i < units; ++i) destination[i] = text[i] <= 0xFF ? static_cast<uint8_t>(text[i]) : '?';
  destination[units] = 0;
  *outProduced = units;
  return RYL_OK;
}

// ASCII and Latin-1 letters; the multiplication and division signs sit among
// the Latin-1 letters but have no case. The upper case of y with diaeresis
// lies outside Latin-1 (U+0178) and is kept as a pair.
char16_t RylUpcaseChar(char16_t unit) noexcept {
  if (unit >= u'a' && unit <= u'z') return static_cast<char16_t>(unit - 0x20);
  if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 0x20);
  if (unit == 0xFF) return 0x178;
  return unit;
}

char16_t RylDowncaseChar(char16_t unit) noexcept {
  if (unit >= u'A' && unit <= u'Z') return static_cast<char16_t>(unit + 0x20);
  if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) return static_cast<char16_t>(unit + 0x20);
  if (unit == 0x178) return 0xFF;
  return unit;
}

}  // namespace ryl::sys
