// Calls the string service's formatting slots the way a host does: through
// the interface, with real variadic argument lists built by the C++
// compiler, into the module's own growable output buffers.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include "core/growable_buffer.h"
#include "strings/string_service.h"

namespace ryl::test {

struct Narrow {
  ResultCode code;
  std::string text;
};

struct Wide {
  ResultCode code;
  std::u16string text;
};

inline StringService& Service() {
  static strings::StringServiceImpl service;
  return service;
}

inline Narrow VFormatNarrow(uint32_t options, const char* format, va_list arguments) {
  core::GrowableBuffer<char> out;
  const ResultCode code = Service().FormatAppend(options, out.Output(), format, arguments);
  return {code, std::string(out.data() == nullptr ? "" : out.data(), out.size())};
}

inline Wide VFormatWide(uint32_t options, const char16_t* format, va_list arguments) {
  core::GrowableBuffer<char16_t> out;
  const ResultCode code =
      Service().FormatAppendW(options, out.Output(), reinterpret_cast<const RylChar16*>(format), arguments);
  return {code, std::u16string(out.data() == nullptr ? u"" : out.data(), out.size())};
}

// Appends to a host's own buffer.
inline ResultCode AppendNarrow(OutputBuffer* out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ResultCode code = Service().FormatAppend(0, out, format, arguments);
  va_end(arguments);
  return code;
}

inline Narrow FormatNarrow(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Narrow result = VFormatNarrow(0, format, arguments);
  va_end(arguments);
  return result;
}

inline Narrow FormatNarrowIn(uint32_t options, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Narrow result = VFormatNarrow(options, format, arguments);
  va_end(arguments);
  return result;
}

inline Wide FormatWide(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Wide result = VFormatWide(0, format, arguments);
  va_end(arguments);
  return result;
}

inline Wide FormatWideIn(uint32_t options, const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Wide result = VFormatWide(options, format, arguments);
  va_end(arguments);
  return result;
}

}  // namespace ryl::test
