// The table encodings: ISO-8859-1, UTF-8, and UTF-16 and UTF-32 in either byte
// order. A conversion decodes the source into code points and feeds them to
// an encoder that appends bytes, or to a counter that only adds them up.
// Plain C++: no system code page is involved here.
#pragma once

#include <bit>
#include <cstdint>

#include "ryl/result.h"

namespace ryl::strings {

// Ids that name the same bytes (5 and 7, 6 and 8) share one form.
enum class TextForm : uint8_t { kLatin1, kUtf8, kUtf16Le, kUtf16Be, kUtf32Le, kUtf32Be };

// The library's own UTF-16 text as it lies in memory.
inline constexpr TextForm kNativeUtf16Form =
    std::endian::native == std::endian::big ? TextForm::kUtf16Be : TextForm::kUtf16Le;

// Bytes the source converts to. Malformed source and code points that UTF-8
// cannot carry give RYL_E_BAD_FORMAT; a count beyond 32 bits gives
// RYL_E_OUT_OF_RANGE. Between a form and itself the count is the length.
[[nodiscard]] ResultCode MeasureTranscoded(TextForm from, TextForm to, const uint8_t* source, uint32_t length,
                                           uint32_t* outBytes) noexcept;

// Converts into destination, which holds capacity bytes. Fails with
// RYL_E_OUT_OF_RANGE as soon as the next code point does not fit (the bytes
// before it are written), and with RYL_E_BAD_FORMAT where MeasureTranscoded
// would. Between a form and itself the bytes are copied unchecked.
// *outProduced is set on success only.
[[nodiscard]] ResultCode Transcode(TextForm from, TextForm to, const uint8_t* source, uint32_t length,
                                   uint8_t* destination, uint32_t capacity, uint32_t* outProduced) noexcept;

// Tests of the plain integer paths on processors that have vector
// instructions: false keeps the transcoder from using them.
void AllowVectorInstructionsForTesting(bool allowed) noexcept;

}  // namespace ryl::strings
