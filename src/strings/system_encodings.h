// Text in the system's ANSI or OEM code page, converted by the system in
// chunks its 16-bit counted strings can describe. Towards UTF-16 the source is
// cut every 32766 bytes (a cut may fall inside a double-byte character); from
// UTF-16 every 32766 units, or 32765 where the chunk would end on a high
// surrogate, so that no surrogate pair is split.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/code_pages.h"

namespace ryl::strings {

// Units the next chunk from UTF-16 takes when remaining units are left.
[[nodiscard]] uint32_t NextChunkFromUtf16(const char16_t* text, uint32_t remaining) noexcept;

// Sizes follow one element per element unless the system reports a multibyte
// code page, in which case each chunk's size is asked of the system.
[[nodiscard]] ResultCode MeasureSystemToUtf16(sys::RylCodePage page, const uint8_t* text, uint32_t length,
                                              uint32_t* outUnits) noexcept;
[[nodiscard]] ResultCode MeasureUtf16ToSystem(sys::RylCodePage page, const char16_t* text, uint32_t units,
                                              uint32_t* outBytes) noexcept;

// Convert chunk after chunk into destination, which holds capacity elements;
// nothing is written outside it, not even the system's terminating zeros.
// *outProduced is set on success. A chunk that does not fit gives
// RYL_E_OUT_OF_RANGE; other system failures give their mapped codes.
[[nodiscard]] ResultCode ConvertSystemToUtf16(sys::RylCodePage page, const uint8_t* text, uint32_t length,
                                              char16_t* destination, uint32_t capacity,
                                              uint32_t* outProduced) noexcept;
[[nodiscard]] ResultCode ConvertUtf16ToSystem(sys::RylCodePage page, const char16_t* text, uint32_t units,
                                              uint8_t* destination, uint32_t capacity,
                                              uint32_t* outProduced) noexcept;

}  // namespace ryl::strings
