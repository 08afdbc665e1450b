#include "sys/classic_locale_format.h"

#include <locale.h>
#include <stdio.h>

namespace ryl::sys {
namespace {

_locale_t ClassicLocale() noexcept {
  static const _locale_t locale = _create_locale(LC_ALL, "C");
  return locale;
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int FormatDoubleClassic(char* buffer, std::size_t capacity, const char* format, double value) noexcept {
  const _locale_t locale = ClassicLocale();
  if (locale == nullptr) return -1;
  // The runtime's _snprintf forms answer -1 for text that does not fit rather
  // than its length, so the length comes from the counting form.
  if (buffer == nullptr) return _scprintf_l(format, locale, value);
  const int written = _snprintf_l(buffer, capacity, format, locale, value);
  if (written < 0 || static_cast<std::size_t>(written) >= capacity) return -1;
  return written;
}
#pragma GCC diagnostic pop

}  // namespace ryl::sys
