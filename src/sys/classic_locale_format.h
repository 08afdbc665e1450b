// Floating-point text from the platform runtime's own formatter, always under
// the classic locale: the host may have set any locale for its own output,
// and a decimal comma must never leak into text the library writes. The
// locale object is made on first use and kept for the life of the process;
// calls may run on any number of threads at once.
#pragma once

#include <cstddef>

namespace ryl::sys {

// format holds exactly one conversion, of a double. With buffer null only the
// length is measured. Returns the length of the text without its terminator,
// or -1 when the runtime cannot format (or the locale cannot be made); with a
// buffer of at least the measured length plus one the whole text is written,
// zero-terminated.
int FormatDoubleClassic(char* buffer, std::size_t capacity, const char* format, double value) noexcept;

}  // namespace ryl::sys
