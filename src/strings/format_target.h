// Where the formatter's text goes: an OutputBuffer it appends to, or a sink
// it hands pieces to. Text is gathered in a small stage first, so a format
// costs one Resize or one Write per few hundred characters rather than one
// per piece; Finish hands over the rest. A failure of the destination is
// returned at once, and the formatter stops there: what the destination
// accepted before stays written.
#pragma once

#include <cstdint>

#include "core/output_writer.h"
#include "ryl/records.h"
#include "ryl/string_service.h"

namespace ryl::strings {

template <typename Char>
class FormatTarget {
 public:
  using Destination = ResultCode (*)(void* context, const Char* text, uint32_t count) noexcept;

  FormatTarget(Destination destination, void* context) noexcept : destination_(destination), context_(context) {}
  FormatTarget(const FormatTarget&) = delete;
  FormatTarget& operator=(const FormatTarget&) = delete;


  [[nodiscard]] ResultCode Append(const Char* text, uint32_t count) noexcept;
  // Widens or narrows nothing: for ASCII text (digits, signs, "(null)").
  [[nodiscard]] ResultCode AppendAscii(const char* text, uint32_t count) noexcept;
  [[nodiscard]] ResultCode Repeat(Char unit, uint32_t count) noexcept;
  [[nodiscard]] ResultCode Finish() noexcept;

 private:
  static constexpr uint32_t kStage = 256;

  ResultCode Flush() noexcept;

  Destination destination_;
  void* context_;
  uint32_t used_ = 0;
  Char stage_[kStage];
};

// The destinations: an OutputBuffer of the formatter's width, or a sink.
template <typename Char>
ResultCode AppendToOutput(void* output, const Char* text, uint32_t count) noexcept {
  return core::AppendOutput(static_cast<OutputBuffer*>(output), text, count);
}
ResultCode WriteToNarrowSink(void* sink, const char* text, uint32_t count) noexcept;
ResultCode WriteToWideSink(void* sink, const char16_t* text, uint32_t count) noexcept;

extern template class FormatTarget<char>;
extern template class FormatTarget<char16_t>;

}  // namespace ryl::strings
