// The StringService table embedded in the root. It has no state and no
// reference count of its own; it lives as long as the root does.
#pragma once

#include "ryl/string_service.h"
#include "sys/temp_name.h"

namespace ryl::strings {

class StringServiceImpl : public StringService {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_STRING_SERVICE;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_STRING_SERVICE;
  static constexpr uint32_t kUniqueNameStemLength = sys::kRylTempStemLength;

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL GetUtf16Length(uint32_t* outCount, const void* text, uint32_t byteLength, uint32_t encoding) override;
  ResultCode RYL_THISCALL ConvertToUtf16(OutputBuffer* output, const void* text, uint32_t byteLength, uint32_t encoding) override;
  ResultCode RYL_THISCALL GetEncodedLength(uint32_t* outCount, const RylChar16* text, uint32_t length, uint32_t encoding) override;
  ResultCode RYL_THISCALL ConvertFromUtf16(OutputBuffer* output, const RylChar16* text, uint32_t length, uint32_t encoding) override;
  ResultCode RYL_THISCALL GetRecodedLength(uint32_t* outCount, const void* text, uint32_t byteLength, uint32_t targetEncoding, uint32_t sourceEncoding) override;
  ResultCode RYL_THISCALL Recode(OutputBuffer* output, const void* text, uint32_t byteLength, uint32_t targetEncoding, uint32_t sourceEncoding) override;
  ResultCode RYL_THISCALL FormatAppendW(uint32_t options, OutputBuffer* output, const RylChar16* format, va_list arguments) override;
  ResultCode RYL_THISCALL FormatAppend(uint32_t options, OutputBuffer* output, const char* format, va_list arguments) override;
  ResultCode RYL_THISCALL FormatToSinkW(uint32_t options, RylWideSink* sink, const RylChar16* format, va_list arguments) override;
  ResultCode RYL_THISCALL FormatToSink(uint32_t options, RylNarrowSink* sink, const char* format, va_list arguments) override;
  ResultCode RYL_THISCALL ParseInt64W(int64_t* outValue, const RylChar16* text, uint32_t length, uint32_t base, const RylChar16** outStop, uint32_t width) override;
  ResultCode RYL_THISCALL ParseInt64(int64_t* outValue, const char* text, uint32_t length, uint32_t base, const char** outStop, uint32_t width) override;
  ResultCode RYL_THISCALL ParseUInt64W(uint64_t* outValue, const RylChar16* text, uint32_t length, uint32_t base, const RylChar16** outStop, uint32_t width) override;
  ResultCode RYL_THISCALL ParseUInt64(uint64_t* outValue, const char* text, uint32_t length, uint32_t base, const char** outStop, uint32_t width) override;
  ResultCode RYL_THISCALL ParseDoubleW(double* outValue, const RylChar16* text, uint32_t length, const RylChar16** outStop, uint32_t flags) override;
  ResultCode RYL_THISCALL ParseDouble(double* outValue, const char* text, uint32_t length, const char** outStop, uint32_t flags) override;
  ResultCode RYL_THISCALL Int64ToTextW(OutputBuffer* output, int64_t value, uint32_t base, uint32_t width) override;
  ResultCode RYL_THISCALL UInt64ToTextW(OutputBuffer* output, uint64_t value, uint32_t base, uint32_t width) override;
  ResultCode RYL_THISCALL Int64ToText(OutputBuffer* output, int64_t value, uint32_t base, uint32_t width) override;
  ResultCode RYL_THISCALL UInt64ToText(OutputBuffer* output, uint64_t value, uint32_t base, uint32_t width) override;
  ResultCode RYL_THISCALL DoubleToTextW(OutputBuffer* output, double value, uint32_t digits) override;
  ResultCode RYL_THISCALL DoubleToText(OutputBuffer* output, double value, uint32_t digits) override;
  ResultCode RYL_THISCALL ToLower(uint32_t flags, OutputBuffer* output, const RylChar16* text, uint32_t length) override;
  ResultCode RYL_THISCALL ToUpper(uint32_t flags, OutputBuffer* output, const RylChar16* text, uint32_t length) override;
  int32_t RYL_THISCALL CompareNoCase(uint32_t flags, const RylChar16* first, uint32_t firstLength, const RylChar16* second, uint32_t secondLength) override;
  ResultCode RYL_THISCALL MatchWildcard(uint8_t* outMatches, const RylStringView* pattern, const RylStringView* name) override;
  ResultCode RYL_THISCALL MatchWildcardNoCase(uint8_t* outMatches, const RylStringView* pattern, const RylStringView* name) override;
  uint8_t RYL_THISCALL HasExtension(const RylChar16* path, uint32_t length) override;
  uint8_t RYL_THISCALL IsAbsolutePath(const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetExtension(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  RylStringView* RYL_THISCALL GetExtensionView(RylStringView* result, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetFileNamePart(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  RylStringView* RYL_THISCALL GetFileNamePartView(RylStringView* result, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetStem(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  RylStringView* RYL_THISCALL GetStemView(RylStringView* result, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetParentPath(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  RylStringView* RYL_THISCALL GetParentPathView(RylStringView* result, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL SplitParentAndName(const RylChar16* path, uint32_t length, RylStringView* outParent, RylStringView* outName) override;
  uint32_t RYL_THISCALL GetRootLength(const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetRootPath(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  RylStringView* RYL_THISCALL GetRootPathView(RylStringView* result, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetDriveRoot(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL AppendComponent(OutputBuffer* inOut, const RylChar16* component, uint32_t length) override;
  uint32_t RYL_THISCALL GetUniqueNameStemLength() override;
  ResultCode RYL_THISCALL MakeUniqueNameStem(OutputBuffer* output) override;
  ResultCode RYL_THISCALL ReplaceExtension(OutputBuffer* output, const RylChar16* path, uint32_t length, const RylChar16* extension, uint32_t extensionLength) override;
  ResultCode RYL_THISCALL CombinePaths(OutputBuffer* output, const RylChar16* base, uint32_t baseLength, const RylChar16* relative, uint32_t relativeLength) override;
};

}  // namespace ryl::strings
