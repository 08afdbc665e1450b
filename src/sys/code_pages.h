// The system's ANSI and OEM code pages and its Unicode case tables, reached
// through the native counted-string routines. Those routines carry lengths in
// 16-bit byte fields, so callers hand them text in chunks: at most 32766 bytes
// towards UTF-16 and at most 32766 UTF-16 units from it.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

enum class RylCodePage : uint8_t { kAnsi, kOem };

// The chunk limits above, in elements of the chunk's source.
inline constexpr uint32_t kRylCodePageChunkBytes = 32766;
inline constexpr uint32_t kRylCodePageChunkUnits = 32766;

// True when the system reports a multibyte OEM code page
// (NlsMbOemCodePageTag). The flag decides for both code pages whether sizes
// must be asked of the system or follow one element per element.
[[nodiscard]] bool RylIsMultibyteCodePage() noexcept;

// Elements a chunk converts to, asked of the system. The system's count
// includes a terminating zero; it is not included here.
[[nodiscard]] uint32_t RylCodePageToUtf16Size(RylCodePage page, const uint8_t* text, uint32_t length) noexcept;
[[nodiscard]] uint32_t RylUtf16ToCodePageSize(RylCodePage page, const char16_t* text, uint32_t units) noexcept;

// Converts one chunk into destination, which has room for capacity elements.
// The system writes a terminating zero after the converted text, so the text
// itself gets at most capacity - 1 elements; capacity is capped at what a
// 16-bit byte field can describe. *outProduced receives the elements before
// the zero. A failure is the native status through the module's status rule:
// a destination too small gives RYL_E_OUT_OF_RANGE.
[[nodiscard]] ResultCode RylCodePageToUtf16(RylCodePage page, const uint8_t* text, uint32_t length,
                                            char16_t* destination, uint32_t capacity,
                                            uint32_t* outProduced) noexcept;
[[nodiscard]] ResultCode RylUtf16ToCodePage(RylCodePage page, const char16_t* text, uint32_t units,
                                            uint8_t* destination, uint32_t capacity,
                                            uint32_t* outProduced) noexcept;

// The system's Unicode case tables (RtlUpcaseUnicodeChar and its lower-case
// counterpart).
[[nodiscard]] char16_t RylUpcaseChar(char16_t unit) noexcept;
[[nodiscard]] char16_t RylDowncaseChar(char16_t unit) noexcept;

// Tests on a single-byte system: makes RylIsMultibyteCodePage answer as
// given (1 true, 0 false) instead of the system; -1 restores the system's
// answer.
void RylOverrideMultibyteCodePageForTesting(int answer) noexcept;

}  // namespace ryl::sys
