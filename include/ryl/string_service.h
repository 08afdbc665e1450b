// StringService: encodings, case, wildcards, number parsing and text, and the
// path text operations; embedded in the root. Encoded text is (pointer, length
// in bytes) whatever the encoding; library text is UTF-16 (pointer, length in
// units). Results go to an OutputBuffer of bytes or UTF-16 units as stated.
#pragma once

#include <stdarg.h>

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

enum RylEncoding : uint32_t {
  RYL_ENCODING_ANSI = 0,
  RYL_ENCODING_LATIN1 = 1,
  RYL_ENCODING_OEM = 2,
  RYL_ENCODING_UTF8 = 4,
  RYL_ENCODING_UTF16 = 5,
  RYL_ENCODING_UTF32 = 6,
  RYL_ENCODING_UTF16LE = 7,
  RYL_ENCODING_UTF32LE = 8,
  RYL_ENCODING_UTF16BE = 9,
  RYL_ENCODING_UTF32BE = 10,
};

// A formatting sink receives the formatter's output in pieces: Write(first,
// one past last) is the first entry of its table. A failure it returns ends
// the formatting with that code; what it accepted before stays written.
RYL_INTERFACE RylNarrowSink {
  virtual ResultCode RYL_THISCALL Write(const char* first, const char* last) = 0;
};
RYL_INTERFACE RylWideSink {
  virtual ResultCode RYL_THISCALL Write(const RylChar16* first, const RylChar16* last) = 0;
};

// The record behind a %Z argument: a counted string of narrow text, or of
// UTF-16 text with %wZ. The length is in bytes, the terminator not counted.
struct RylCountedString {
  uint16_t length;
  uint16_t capacity;
  const void* text;
};

#if defined(__cplusplus) && RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(RylCountedString) == 8, "counted string");
static_assert(offsetof(RylCountedString, text) == 4, "counted string");
#endif

RYL_INTERFACE StringService {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual ResultCode RYL_THISCALL GetUtf16Length(uint32_t* outCount, const void* text, uint32_t byteLength,
                                                 uint32_t encoding) = 0;
  virtual ResultCode RYL_THISCALL ConvertToUtf16(OutputBuffer* output, const void* text, uint32_t byteLength,
                                                 uint32_t encoding) = 0;
  virtual ResultCode RYL_THISCALL GetEncodedLength(uint32_t* outCount, const RylChar16* text, uint32_t length,
                                                   uint32_t encoding) = 0;
  virtual ResultCode RYL_THISCALL ConvertFromUtf16(OutputBuffer* output, const RylChar16* text, uint32_t length,
                                                   uint32_t encoding) = 0;
  virtual ResultCode RYL_THISCALL GetRecodedLength(uint32_t* outCount, const void* text, uint32_t byteLength,
                                                   uint32_t targetEncoding, uint32_t sourceEncoding) = 0;
  virtual ResultCode RYL_THISCALL Recode(OutputBuffer* output, const void* text, uint32_t byteLength,
                                         uint32_t targetEncoding, uint32_t sourceEncoding) = 0;
  virtual ResultCode RYL_THISCALL FormatAppendW(uint32_t options, OutputBuffer* output, const RylChar16* format,
                                                va_list arguments) = 0;
  virtual ResultCode RYL_THISCALL FormatAppend(uint32_t options, OutputBuffer* output, const char* format,
                                               va_list arguments) = 0;
  virtual ResultCode RYL_THISCALL FormatToSinkW(uint32_t options, RylWideSink* sink, const RylChar16* format,
                                                va_list arguments) = 0;
  virtual ResultCode RYL_THISCALL FormatToSink(uint32_t options, RylNarrowSink* sink, const char* format,
                                               va_list arguments) = 0;
  virtual ResultCode RYL_THISCALL ParseInt64W(int64_t* outValue, const RylChar16* text, uint32_t length,
                                              uint32_t base, const RylChar16** outStop, uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL ParseInt64(int64_t* outValue, const char* text, uint32_t length, uint32_t base,
                                             const char** outStop, uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL ParseUInt64W(uint64_t* outValue, const RylChar16* text, uint32_t length,
                                               uint32_t base, const RylChar16** outStop, uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL ParseUInt64(uint64_t* outValue, const char* text, uint32_t length,
                                              uint32_t base, const char** outStop, uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL ParseDoubleW(double* outValue, const RylChar16* text, uint32_t length,
                                               const RylChar16** outStop, uint32_t flags) = 0;
  virtual ResultCode RYL_THISCALL ParseDouble(double* outValue, const char* text, uint32_t length,
                                              const char** outStop, uint32_t flags) = 0;
  virtual ResultCode RYL_THISCALL Int64ToTextW(OutputBuffer* output, int64_t value, uint32_t base,
                                               uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL UInt64ToTextW(OutputBuffer* output, uint64_t value, uint32_t base,
                                                uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL Int64ToText(OutputBuffer* output, int64_t value, uint32_t base,
                                              uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL UInt64ToText(OutputBuffer* output, uint64_t value, uint32_t base,
                                               uint32_t width) = 0;
  virtual ResultCode RYL_THISCALL DoubleToTextW(OutputBuffer* output, double value, uint32_t digits) = 0;
  virtual ResultCode RYL_THISCALL DoubleToText(OutputBuffer* output, double value, uint32_t digits) = 0;
  virtual ResultCode RYL_THISCALL ToLower(uint32_t flags, OutputBuffer* output, const RylChar16* text,
                                          uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL ToUpper(uint32_t flags, OutputBuffer* output, const RylChar16* text,
                                          uint32_t length) = 0;
  // -1, 0 or 1; not a result code.
  virtual int32_t RYL_THISCALL CompareNoCase(uint32_t flags, const RylChar16* first, uint32_t firstLength,
                                             const RylChar16* second, uint32_t secondLength) = 0;
  virtual ResultCode RYL_THISCALL MatchWildcard(uint8_t* outMatches, const RylStringView* pattern,
                                                const RylStringView* name) = 0;
  virtual ResultCode RYL_THISCALL MatchWildcardNoCase(uint8_t* outMatches, const RylStringView* pattern,
                                                      const RylStringView* name) = 0;
  // Path text. View slots return a view into the caller's input through the
  // hidden result pointer an MSVC host passes; an empty view is (null, 0).
  virtual uint8_t RYL_THISCALL HasExtension(const RylChar16* path, uint32_t length) = 0;
  virtual uint8_t RYL_THISCALL IsAbsolutePath(const RylChar16* path, uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetExtension(OutputBuffer* output, const RylChar16* path, uint32_t length) = 0;
  virtual RylStringView* RYL_THISCALL GetExtensionView(RylStringView* result, const RylChar16* path,
                                                       uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetFileNamePart(OutputBuffer* output, const RylChar16* path, uint32_t length) = 0;
  virtual RylStringView* RYL_THISCALL GetFileNamePartView(RylStringView* result, const RylChar16* path,
                                                          uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetStem(OutputBuffer* output, const RylChar16* path, uint32_t length) = 0;
  virtual RylStringView* RYL_THISCALL GetStemView(RylStringView* result, const RylChar16* path,
                                                  uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetParentPath(OutputBuffer* output, const RylChar16* path, uint32_t length) = 0;
  virtual RylStringView* RYL_THISCALL GetParentPathView(RylStringView* result, const RylChar16* path,
                                                        uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL SplitParentAndName(const RylChar16* path, uint32_t length,
                                                     RylStringView* outParent, RylStringView* outName) = 0;
  virtual uint32_t RYL_THISCALL GetRootLength(const RylChar16* path, uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetRootPath(OutputBuffer* output, const RylChar16* path, uint32_t length) = 0;
  virtual RylStringView* RYL_THISCALL GetRootPathView(RylStringView* result, const RylChar16* path,
                                                      uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetDriveRoot(OutputBuffer* output, const RylChar16* path, uint32_t length) = 0;
  // The output is both the path appended to and the result.
  virtual ResultCode RYL_THISCALL AppendComponent(OutputBuffer* inOut, const RylChar16* component,
                                                  uint32_t length) = 0;
  virtual uint32_t RYL_THISCALL GetUniqueNameStemLength() = 0;  // the constant 40
  virtual ResultCode RYL_THISCALL MakeUniqueNameStem(OutputBuffer* output) = 0;
  virtual ResultCode RYL_THISCALL ReplaceExtension(OutputBuffer* output, const RylChar16* path, uint32_t length,
                                                   const RylChar16* extension, uint32_t extensionLength) = 0;
  virtual ResultCode RYL_THISCALL CombinePaths(OutputBuffer* output, const RylChar16* base, uint32_t baseLength,
                                               const RylChar16* relative, uint32_t relativeLength) = 0;
};
