// The formatter and the double parser on hostile text.
//
// Input: one flags byte (bit 0: the UTF-16 formatter, the rest of the input
// read as little-endian units; bit 1: ask the parser for a stop position;
// bit 2: parse the words inf and nan), then the format text, which also goes
// to the parser. The formatter cannot tell what its arguments are, so the
// target makes every argument safe to read in every way the formatter reads
// one: each is the address of a zeroed counted-string record, which reads as
// an integer, as a double, as a narrow or UTF-16 string that ends within the
// record, or as a counted string of four bytes. A %r would take its length
// from the next argument (an address), so r is replaced; and formats with
// more directives than there are arguments are cut, since a format that
// reads past its arguments is the caller's fault, not the formatter's.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/growable_buffer.h"
#include "fuzz_check.h"
#include "strings/double_parsing.h"
#include "strings/string_service.h"

namespace {

struct SafeArgument {
  RylCountedString counted;
  uint64_t zeros[2];
};

const char kText[8] = "abcd";
SafeArgument g_argument = {{4, 4, kText}, {0, 0}};

// Each directive reads at most three arguments ("*", ".*", the value).
constexpr size_t kMaxDirectives = 16;

#define ARG &g_argument
#define ARG8 ARG, ARG, ARG, ARG, ARG, ARG, ARG, ARG
#define ARG64 ARG8, ARG8, ARG8, ARG8, ARG8, ARG8, ARG8, ARG8

ResultCode FormatNarrow(OutputBuffer* out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  ryl::strings::StringServiceImpl service;
  const ResultCode rc = service.FormatAppend(RYL_ENCODING_UTF8, out, format, arguments);
  va_end(arguments);
  return rc;
}

ResultCode FormatWide(OutputBuffer* out, const RylChar16* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  ryl::strings::StringServiceImpl service;
  const ResultCode rc = service.FormatAppendW(RYL_ENCODING_UTF8, out, format, arguments);
  va_end(arguments);
  return rc;
}

template <typename Unit>
void Sanitize(std::basic_string<Unit>* format) {
  size_t directives = 0;
  for (size_t i = 0; i < format->size(); ++i) {
    Unit& unit = (*format)[i];
    if (unit == 0) unit = ' ';
    if (unit == 'r') unit = 'q';
    if (unit == '%' && ++directives > kMaxDirectives) {
      format->resize(i);
      return;
    }
  }
}

template <typename Unit>
void CheckPlainText(ResultCode rc, const std::basic_string<Unit>& format, const Unit* out, uint32_t size) {
  FUZZ_CHECK(rc == RYL_OK || rc == RYL_E_INVALID_ARG);
  // Text without a "%" comes out as it went in.
  if (format.find(static_cast<Unit>('%')) == std::basic_string<Unit>::npos) {
    FUZZ_CHECK(rc == RYL_OK && size == format.size());
    FUZZ_CHECK(size == 0 || std::memcmp(out, format.data(), size * sizeof(Unit)) == 0);
  }
}

template <typename Unit>
void Parse(const std::basic_string<Unit>& text, bool askStop, uint32_t flags) {
  double value = 0;
  const Unit* stop = nullptr;
  const ResultCode rc = ryl::strings::ParseDoubleText<Unit>(&value, text.data(), static_cast<uint32_t>(text.size()),
                                                            askStop ? &stop : nullptr, flags);
  FUZZ_CHECK(rc == RYL_OK || rc == RYL_W_INFINITE || rc == RYL_E_INVALID_ARG);
  if (rc == RYL_E_INVALID_ARG) FUZZ_CHECK(askStop && stop >= text.data() && stop < text.data() + text.size());
  if (rc == RYL_OK && stop != nullptr) FUZZ_CHECK(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  ++data;
  --size;
  const uint32_t parseFlags = (flags & 4) != 0 ? ryl::strings::kParseDoubleWords : 0;
  if ((flags & 1) == 0) {
    std::string format(reinterpret_cast<const char*>(data), size);
    Parse(format, (flags & 2) != 0, parseFlags);
    Sanitize(&format);
    ryl::core::GrowableBuffer<char> out;
    const ResultCode rc = FormatNarrow(out.Output(), format.c_str(), ARG64);
    CheckPlainText(rc, format, out.data(), out.size());
  } else {
    std::u16string format(size / 2, u'\0');
    for (size_t i = 0; i < format.size(); ++i) format[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    Parse(format, (flags & 2) != 0, parseFlags);
    Sanitize(&format);
    ryl::core::GrowableBuffer<char16_t> out;
    const ResultCode rc = FormatWide(out.Output(), reinterpret_cast<const RylChar16*>(format.c_str()), ARG64);
    CheckPlainText(rc, format, out.data(), out.size());
  }
  return 0;
}
