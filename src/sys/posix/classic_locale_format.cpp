// The portable build's stand-in: the C library's snprintf with the "C"
// locale made current for the call on this thread only.
#include "sys/classic_locale_format.h"

#include <locale.h>
#include <stdio.h>

namespace ryl::sys {
namespace {

locale_t ClassicLocale() noexcept {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int FormatDoubleClassic(char* buffer, std::size_t capacity, const char* format, double value) noexcept {
  const locale_t locale = ClassicLocale();
  if (locale == static_cast<locale_t>(0)) return -1;
  const locale_t previous = uselocale(locale);
  const int written = buffer == nullptr ? snprintf(nullptr, 0, format, value) : snprintf(buffer, capacity, format, value);
  uselocale(previous);
  if (written < 0 || (buffer != nullptr && static_cast<std::size_t>(written) >= capacity)) return -1;
  return written;
}
#pragma GCC diagnostic pop

}  // namespace ryl::sys
