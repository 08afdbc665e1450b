#include "strings/string_service.h"

#include "core/entry_guard.h"
#include "core/query.h"
#include "strings/case_mapping.h"
#include "strings/double_parsing.h"
#include "strings/format_engine.h"
#include "strings/integer_parsing.h"
#include "strings/number_text.h"
#include "strings/text_conversion.h"
#include "strings/wildcard_match.h"

// Host text arrives as wchar_t; the library's own code works on char16_t of
// the same size and layout.
namespace ryl::strings {
namespace {

const char16_t* Units(const RylChar16* text) noexcept { return reinterpret_cast<const char16_t*>(text); }

const uint8_t* Bytes(const void* text) noexcept { return static_cast<const uint8_t*>(text); }

bool IsReadable(const RylStringView* view) noexcept {
  return view != nullptr && (view->data != nullptr || view->length == 0);
}

ResultCode Match(LetterCaseRule rule, uint8_t* outMatches, const RylStringView* pattern,
                 const RylStringView* name) noexcept {
  if (outMatches == nullptr || !IsReadable(pattern) || !IsReadable(name)) return RYL_E_INVALID_ARG;
  *outMatches = MatchWildcard(rule, Units(pattern->data), pattern->length, Units(name->data), name->length) ? 1 : 0;
  return RYL_OK;
}

}  // namespace

void* RYL_THISCALL StringServiceImpl::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<StringService*>(this), kTypeId, kHighestVersion, type, version, outHighest);
}

ResultCode RYL_THISCALL StringServiceImpl::GetUtf16Length(uint32_t* outCount, const void* text, uint32_t byteLength,
                                                          uint32_t encoding) {
  return core::GuardEntry([&] { return MeasureToUtf16(Bytes(text), byteLength, encoding, outCount); });
}

ResultCode RYL_THISCALL StringServiceImpl::ConvertToUtf16(OutputBuffer* output, const void* text, uint32_t byteLength,
                                                          uint32_t encoding) {
  return core::GuardEntry([&] { return strings::ConvertToUtf16(output, Bytes(text), byteLength, encoding); });
}

ResultCode RYL_THISCALL StringServiceImpl::GetEncodedLength(uint32_t* outCount, const RylChar16* text,
                                                            uint32_t length, uint32_t encoding) {
  return core::GuardEntry([&] { return MeasureFromUtf16(Units(text), length, encoding, outCount); });
}

ResultCode RYL_THISCALL StringServiceImpl::ConvertFromUtf16(OutputBuffer* output, const RylChar16* text,
                                                            uint32_t length, uint32_t encoding) {
  return core::GuardEntry([&] { return strings::ConvertFromUtf16(output, Units(text), length, encoding); });
}

ResultCode RYL_THISCALL StringServiceImpl::GetRecodedLength(uint32_t* outCount, const void* text,
                                                            uint32_t byteLength, uint32_t targetEncoding,
                                                            uint32_t sourceEncoding) {
  return core::GuardEntry(
      [&] { return MeasureRecoded(Bytes(text), byteLength, targetEncoding, sourceEncoding, outCount); });
}

ResultCode RYL_THISCALL StringServiceImpl::Recode(OutputBuffer* output, const void* text, uint32_t byteLength,
                                                  uint32_t targetEncoding, uint32_t sourceEncoding) {
  return core::GuardEntry(
      [&] { return strings::Recode(output, Bytes(text), byteLength, targetEncoding, sourceEncoding); });
}

ResultCode RYL_THISCALL StringServiceImpl::FormatAppendW(uint32_t options, OutputBuffer* output,
                                                         const RylChar16* format, va_list arguments) {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  FormatTarget<char16_t> target(&AppendToOutput<char16_t>, output);
  return Format(options, target, Units(format), arguments);
}

ResultCode RYL_THISCALL StringServiceImpl::FormatAppend(uint32_t options, OutputBuffer* output, const char* format,
                                                        va_list arguments) {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  FormatTarget<char> target(&AppendToOutput<char>, output);
  return Format(options, target, format, arguments);
}

ResultCode RYL_THISCALL StringServiceImpl::FormatToSinkW(uint32_t options, RylWideSink* sink,
                                                         const RylChar16* format, va_list arguments) {
  if (sink == nullptr) return RYL_E_INVALID_ARG;
  FormatTarget<char16_t> target(&WriteToWideSink, sink);
  return Format(options, target, Units(format), arguments);
}

ResultCode RYL_THISCALL StringServiceImpl::FormatToSink(uint32_t options, RylNarrowSink* sink, const char* format,
                                                        va_list arguments) {
  if (sink == nullptr) return RYL_E_INVALID_ARG;
  FormatTarget<char> target(&WriteToNarrowSink, sink);
  return Format(options, target, format, arguments);
}

ResultCode RYL_THISCALL StringServiceImpl::ParseInt64W(int64_t* outValue, const RylChar16* text, uint32_t length,
                                                       uint32_t base, const RylChar16** outStop, uint32_t width) {
  return core::GuardEntry([&] {
    return ParseSigned<char16_t>(outValue, Units(text), length, base, reinterpret_cast<const char16_t**>(outStop),
                                 width);
  });
}

ResultCode RYL_THISCALL StringServiceImpl::ParseInt64(int64_t* outValue, const char* text, uint32_t length,
                                                      uint32_t base, const char** outStop, uint32_t width) {
  return core::GuardEntry([&] { return ParseSigned<char>(outValue, text, length, base, outStop, width); });
}

// The width of the unsigned forms is accepted and not used: the value is
// always bounded to 64 bits.
ResultCode RYL_THISCALL StringServiceImpl::ParseUInt64W(uint64_t* outValue, const RylChar16* text, uint32_t length,
                                                        uint32_t base, const RylChar16** outStop, uint32_t) {
  return core::GuardEntry([&] {
    return ParseUnsigned<char16_t>(outValue, Units(text), length, base, reinterpret_cast<const char16_t**>(outStop));
  });
}

ResultCode RYL_THISCALL StringServiceImpl::ParseUInt64(uint64_t* outValue, const char* text, uint32_t length,
                                                       uint32_t base, const char** outStop, uint32_t) {
  return core::GuardEntry([&] { return ParseUnsigned<char>(outValue, text, length, base, outStop); });
}

ResultCode RYL_THISCALL StringServiceImpl::ParseDoubleW(double* outValue, const RylChar16* text, uint32_t length,
                                                        const RylChar16** outStop, uint32_t flags) {
  return ParseDoubleText<char16_t>(outValue, Units(text), length, reinterpret_cast<const char16_t**>(outStop), flags);
}

ResultCode RYL_THISCALL StringServiceImpl::ParseDouble(double* outValue, const char* text, uint32_t length,
                                                       const char** outStop, uint32_t flags) {
  return ParseDoubleText<char>(outValue, text, length, outStop, flags);
}

ResultCode RYL_THISCALL StringServiceImpl::Int64ToTextW(OutputBuffer* output, int64_t value, uint32_t base,
                                                        uint32_t width) {
  return WriteIntegerText<char16_t>(output, true, static_cast<uint64_t>(value), base, width);
}

ResultCode RYL_THISCALL StringServiceImpl::UInt64ToTextW(OutputBuffer* output, uint64_t value, uint32_t base,
                                                         uint32_t width) {
  return WriteIntegerText<char16_t>(output, false, value, base, width);
}

ResultCode RYL_THISCALL StringServiceImpl::Int64ToText(OutputBuffer* output, int64_t value, uint32_t base,
                                                       uint32_t width) {
  return WriteIntegerText<char>(output, true, static_cast<uint64_t>(value), base, width);
}

ResultCode RYL_THISCALL StringServiceImpl::UInt64ToText(OutputBuffer* output, uint64_t value, uint32_t base,
                                                        uint32_t width) {
  return WriteIntegerText<char>(output, false, value, base, width);
}

ResultCode RYL_THISCALL StringServiceImpl::DoubleToTextW(OutputBuffer* output, double value, uint32_t digits) {
  return AppendDoubleText<char16_t>(output, value, digits);
}

ResultCode RYL_THISCALL StringServiceImpl::DoubleToText(OutputBuffer* output, double value, uint32_t digits) {
  return AppendDoubleText<char>(output, value, digits);
}

ResultCode RYL_THISCALL StringServiceImpl::ToLower(uint32_t flags, OutputBuffer* output, const RylChar16* text,
                                                   uint32_t length) {
  return core::GuardEntry([&] { return MapCase(LetterCase::kLower, flags, output, Units(text), length); });
}

ResultCode RYL_THISCALL StringServiceImpl::ToUpper(uint32_t flags, OutputBuffer* output, const RylChar16* text,
                                                   uint32_t length) {
  return core::GuardEntry([&] { return MapCase(LetterCase::kUpper, flags, output, Units(text), length); });
}

// The flags are accepted and not used.
int32_t RYL_THISCALL StringServiceImpl::CompareNoCase(uint32_t, const RylChar16* first, uint32_t firstLength,
                                                      const RylChar16* second, uint32_t secondLength) {
  return strings::CompareNoCase(Units(first), firstLength, Units(second), secondLength);
}

ResultCode RYL_THISCALL StringServiceImpl::MatchWildcard(uint8_t* outMatches, const RylStringView* pattern,
                                                         const RylStringView* name) {
  return Match(LetterCaseRule::kExact, outMatches, pattern, name);
}

ResultCode RYL_THISCALL StringServiceImpl::MatchWildcardNoCase(uint8_t* outMatches, const RylStringView* pattern,
                                                               const RylStringView* name) {
  return Match(LetterCaseRule::kIgnoreCase, outMatches, pattern, name);
}

}  // namespace ryl::strings
