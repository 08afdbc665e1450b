#include "strings/number_text.h"

#include "core/output_writer.h"
#include "strings/double_text.h"
#include "strings/format_target.h"
#include "strings/integer_text.h"

namespace ryl::strings {
template <typename Char>
ResultCode WriteIntegerText(OutputBuffer* output, bool isSigned, uint64_t bits, uint32_t base,
                            uint32_t width) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  if (base == 0) base = 10;
  if (base < 2 || base > 36) return RYL_E_INVALID_ARG;
  bool negative = false;
  if (base == 10) {
    negative = isSigned && static_cast<int64_t>(bits) < 0;
    if (negative) bits = uint64_t{0} - bits;
  } else {
    if (width < 1 || width > 8) return RYL_E_INVALID_ARG;
    if (width < 8) bits &= (uint64_t{1} << (8 * width)) - 1;
  }
  char text[64];
  const uint32_t count = WriteDigitsBackwards(text + sizeof(text), bits, base, false);
  Char units[65];
  uint32_t length = 0;
  if (negative) units[length++] = '-';
  for (uint32_t i = 0; i < count; ++i) units[length++] = static_cast<Char>(text[sizeof(text) - count + i]);
  return core::WriteOutput(output, units, length);
}

template <typename Char>
ResultCode AppendDoubleText(OutputBuffer* output, double value, uint32_t digits) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  FormatDirective directive;
  directive.conversion = 'e';
  directive.hasPrecision = true;
  directive.precision = digits == 0 ? 0 : digits - 1;
  FormatTarget<Char> target(&AppendToOutput<Char>, output);
  const ResultCode rc = AppendDouble(target, directive, value);
  const ResultCode finished = target.Finish();
  return rc < 0 ? rc : finished;
}

template ResultCode WriteIntegerText<char>(OutputBuffer*, bool, uint64_t, uint32_t, uint32_t) noexcept;
template ResultCode WriteIntegerText<char16_t>(OutputBuffer*, bool, uint64_t, uint32_t, uint32_t) noexcept;
template ResultCode AppendDoubleText<char>(OutputBuffer*, double, uint32_t) noexcept;
template ResultCode AppendDoubleText<char16_t>(OutputBuffer*, double, uint32_t) noexcept;

}  // namespace ryl::strings
