#include "strings/string_service.h"

#include "core/entry_guard.h"
#include "core/query.h"
#include "strings/case_mapping.h"
#include "strings/integer_parsing.h"
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

// Formatting and number text are not offered yet. They answer
// RYL_E_NOT_IMPLEMENTED with their full argument lists declared, so that the
// callee still removes every argument.
ResultCode RYL_THISCALL StringServiceImpl::FormatAppendW(uint32_t, OutputBuffer*, const RylChar16*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatAppend(uint32_t, OutputBuffer*, const char*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatToSinkW(uint32_t, RylWideSink*, const RylChar16*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatToSink(uint32_t, RylNarrowSink*, const char*, va_list) { return RYL_E_NOT_IMPLEMENTED; }

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

ResultCode RYL_THISCALL StringServiceImpl::ParseDoubleW(double*, const RylChar16*, uint32_t, const RylChar16**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseDouble(double*, const char*, uint32_t, const char**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::Int64ToTextW(OutputBuffer*, int64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::UInt64ToTextW(OutputBuffer*, uint64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::Int64ToText(OutputBuffer*, int64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::UInt64ToText(OutputBuffer*, uint64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::DoubleToTextW(OutputBuffer*, double, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::DoubleToText(OutputBuffer*, double, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }

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
