// Conversions between encoded text (ids 0-10, lengths in bytes) and the
// library's UTF-16 text (lengths in units), and between two encodings. The
// string service's slots and the library's own users (archive names, XML
// output) call these directly.
//
// Results go to an OutputBuffer. A buffer that reports through Capacity that
// it cannot grow is filled up to that capacity (a result that does not fit
// fails with RYL_E_OUT_OF_RANGE and length 0); any other buffer is resized to
// the exact size first. On success the length is the number of elements
// produced. Id 3 and ids above 10 give RYL_E_NOT_IMPLEMENTED.
#pragma once

#include <cstdint>

#include "ryl/records.h"

namespace ryl::strings {

[[nodiscard]] ResultCode MeasureToUtf16(const uint8_t* text, uint32_t byteLength, uint32_t encoding,
                                        uint32_t* outUnits) noexcept;
[[nodiscard]] ResultCode ConvertToUtf16(OutputBuffer* output, const uint8_t* text, uint32_t byteLength,
                                        uint32_t encoding) noexcept;

[[nodiscard]] ResultCode MeasureFromUtf16(const char16_t* text, uint32_t length, uint32_t encoding,
                                          uint32_t* outBytes) noexcept;
[[nodiscard]] ResultCode ConvertFromUtf16(OutputBuffer* output, const char16_t* text, uint32_t length,
                                          uint32_t encoding) noexcept;

// Target id first, source id second, as the slots take them.
[[nodiscard]] ResultCode MeasureRecoded(const uint8_t* text, uint32_t byteLength, uint32_t targetEncoding,
                                        uint32_t sourceEncoding, uint32_t* outBytes) noexcept;
[[nodiscard]] ResultCode Recode(OutputBuffer* output, const uint8_t* text, uint32_t byteLength,
                                uint32_t targetEncoding, uint32_t sourceEncoding) noexcept;

}  // namespace ryl::strings
