#include "strings/text_conversion.h"

#include <optional>

#include "core/growable_buffer.h"
#include "core/output_writer.h"
#include "core/result_helpers.h"
#include "strings/system_encodings.h"
#include "strings/transcoder.h"

namespace ryl::strings {
namespace {

using sys::RylCodePage;

enum class Route : uint8_t { kUnsupported, kSystem, kTable };

struct EncodingRoute {
  Route route;
  RylCodePage page;
  TextForm form;
};

std::optional<TextForm> TableForm(uint32_t encoding) noexcept {
  switch (encoding) {
    case 1: return TextForm::kLatin1;
    case 4: return TextForm::kUtf8;
    case 5:
    case 7: return TextForm::kUtf16Le;
    case 6:
    case 8: return TextForm::kUtf32Le;
    case 9: return TextForm::kUtf16Be;
    case 10: return TextForm::kUtf32Be;
    default: return std::nullopt;
  }
}

bool IsSupported(uint32_t encoding) noexcept { return encoding <= 10 && encoding != 3; }

bool IsSystem(uint32_t encoding) noexcept { return encoding == 0 || encoding == 2; }

// Ids that name the same bytes: conversions between them are copies.
bool SameBytes(uint32_t first, uint32_t second) noexcept {
  if (first == second) return true;
  const std::optional<TextForm> a = TableForm(first);
  const std::optional<TextForm> b = TableForm(second);
  return a && b && *a == *b;
}

// Id 1 is read through the ANSI code page on its way to UTF-16 and written as
// ISO-8859-1 from it.
EncodingRoute TowardsUtf16(uint32_t encoding) noexcept {
  if (encoding == 0 || encoding == 1) return {Route::kSystem, RylCodePage::kAnsi, TextForm::kLatin1};
  if (encoding == 2) return {Route::kSystem, RylCodePage::kOem, TextForm::kLatin1};
  if (const std::optional<TextForm> form = TableForm(encoding)) return {Route::kTable, RylCodePage::kAnsi, *form};
  return {Route::kUnsupported, RylCodePage::kAnsi, TextForm::kLatin1};
}

EncodingRoute FromUtf16(uint32_t encoding) noexcept {
  if (encoding == 0) return {Route::kSystem, RylCodePage::kAnsi, TextForm::kLatin1};
  if (encoding == 2) return {Route::kSystem, RylCodePage::kOem, TextForm::kLatin1};
  if (const std::optional<TextForm> form = TableForm(encoding)) return {Route::kTable, RylCodePage::kAnsi, *form};
  return {Route::kUnsupported, RylCodePage::kAnsi, TextForm::kLatin1};
}

bool IsUsable(const OutputBuffer* output) noexcept {
  return output != nullptr && output->callbacks != nullptr && output->callbacks->Resize != nullptr;
}

// UTF-16 buffers are counted in units, the transcoder in bytes. No buffer of
// 2^31 units or more can exist in this address space.
uint32_t UnitsAsBytes(uint32_t units) noexcept { return (units > 0x7FFFFFFFu ? 0x7FFFFFFFu : units) * 2u; }

// Sizes the output and converts into it. measure(&size) gives the exact size;
// convert(data, capacity, &produced) fills at most capacity elements.
template <class Measure, class Convert>
ResultCode FillOutput(OutputBuffer* output, Measure measure, Convert convert) noexcept {
  uint32_t size = 0;
  bool fixed = false;
  if (core::HasVersion2Entries(output) && output->callbacks->Capacity != nullptr) {
    uint8_t canGrow = 1;
    const uint32_t capacity = output->callbacks->Capacity(&canGrow, output->context);
    if (canGrow == 0) {
      fixed = true;
      size = capacity;
    }
  }
  if (!fixed) RYL_RETURN_IF_FAILED(measure(&size));
  RYL_RETURN_IF_FAILED(core::ResizeOutput(output, size));
  uint32_t produced = 0;
  const ResultCode converted = convert(output->view.data, size, &produced);
  if (converted < 0) {
    // A result that does not fit, or a failing system conversion, leaves the
    // buffer empty; malformed text leaves it as it was sized.
    if (converted != RYL_E_BAD_FORMAT) (void)core::ResizeOutput(output, 0);
    return converted;
  }
  if (produced == size) return RYL_OK;
  return core::ResizeOutput(output, produced);
}

}  // namespace

ResultCode MeasureToUtf16(const uint8_t* text, uint32_t byteLength, uint32_t encoding,
                          uint32_t* outUnits) noexcept {
  if (outUnits == nullptr) return RYL_E_INVALID_ARG;
  const EncodingRoute route = TowardsUtf16(encoding);
  if (route.route == Route::kUnsupported) return RYL_E_NOT_IMPLEMENTED;
  if (byteLength == 0) {
    *outUnits = 0;
    return RYL_OK;
  }
  if (text == nullptr) return RYL_E_INVALID_ARG;
  if (route.route == Route::kSystem) return MeasureSystemToUtf16(route.page, text, byteLength, outUnits);
  // Even the byte-for-byte copy of UTF-16 text must come in whole units.
  if (route.form == kNativeUtf16Form && byteLength % 2 != 0) return RYL_E_BAD_FORMAT;
  uint32_t bytes = 0;
  RYL_RETURN_IF_FAILED(MeasureTranscoded(route.form, kNativeUtf16Form, text, byteLength, &bytes));
  *outUnits = bytes / 2;
  return RYL_OK;
}

ResultCode ConvertToUtf16(OutputBuffer* output, const uint8_t* text, uint32_t byteLength,
                          uint32_t encoding) noexcept {
  if (!IsUsable(output)) return RYL_E_INVALID_ARG;
  const EncodingRoute route = TowardsUtf16(encoding);
  if (route.route == Route::kUnsupported) return RYL_E_NOT_IMPLEMENTED;
  if (byteLength == 0) return core::ResizeOutput(output, 0);
  if (text == nullptr) return RYL_E_INVALID_ARG;
  if (route.route == Route::kTable && route.form == kNativeUtf16Form && byteLength % 2 != 0) {
    return RYL_E_BAD_FORMAT;
  }
  return FillOutput(
      output, [&](uint32_t* size) { return MeasureToUtf16(text, byteLength, encoding, size); },
      [&](void* data, uint32_t capacity, uint32_t* produced) -> ResultCode {
        if (route.route == Route::kSystem) {
          return ConvertSystemToUtf16(route.page, text, byteLength, static_cast<char16_t*>(data), capacity,
                                      produced);
        }
        uint32_t bytes = 0;
        RYL_RETURN_IF_FAILED(Transcode(route.form, kNativeUtf16Form, text, byteLength, static_cast<uint8_t*>(data),
                                       UnitsAsBytes(capacity), &bytes));
        *produced = bytes / 2;
        return RYL_OK;
      });
}

ResultCode MeasureFromUtf16(const char16_t* text, uint32_t length, uint32_t encoding,
                            uint32_t* outBytes) noexcept {
  if (outBytes == nullptr) return RYL_E_INVALID_ARG;
  const EncodingRoute route = FromUtf16(encoding);
  if (route.route == Route::kUnsupported) return RYL_E_NOT_IMPLEMENTED;
  if (length == 0) {
    *outBytes = 0;
    return RYL_OK;
  }
  if (text == nullptr) return RYL_E_INVALID_ARG;
  if (route.route == Route::kSystem) return MeasureUtf16ToSystem(route.page, text, length, outBytes);
  if (length > 0x7FFFFFFFu) return RYL_E_OUT_OF_RANGE;
  return MeasureTranscoded(kNativeUtf16Form, route.form, reinterpret_cast<const uint8_t*>(text), length * 2,
                           outBytes);
}

ResultCode ConvertFromUtf16(OutputBuffer* output, const char16_t* text, uint32_t length,
                            uint32_t encoding) noexcept {
  if (!IsUsable(output)) return RYL_E_INVALID_ARG;
  const EncodingRoute route = FromUtf16(encoding);
  if (route.route == Route::kUnsupported) return RYL_E_NOT_IMPLEMENTED;
  if (length == 0) return core::ResizeOutput(output, 0);
  if (text == nullptr) return RYL_E_INVALID_ARG;
  if (length > 0x7FFFFFFFu) return RYL_E_OUT_OF_RANGE;
  return FillOutput(
      output, [&](uint32_t* size) { return MeasureFromUtf16(text, length, encoding, size); },
      [&](void* data, uint32_t capacity, uint32_t* produced) -> ResultCode {
        if (route.route == Route::kSystem) {
          return ConvertUtf16ToSystem(route.page, text, length, static_cast<uint8_t*>(data), capacity, produced);
        }
        return Transcode(kNativeUtf16Form, route.form, reinterpret_cast<const uint8_t*>(text), length * 2,
                         static_cast<uint8_t*>(data), capacity, produced);
      });
}

ResultCode MeasureRecoded(const uint8_t* text, uint32_t byteLength, uint32_t targetEncoding,
                          uint32_t sourceEncoding, uint32_t* outBytes) noexcept {
  if (outBytes == nullptr) return RYL_E_INVALID_ARG;
  if (!IsSupported(targetEncoding) || !IsSupported(sourceEncoding)) return RYL_E_NOT_IMPLEMENTED;
  // The system code pages and ISO-8859-1 are taken as one byte per character
  // among themselves, without converting.
  if (byteLength == 0 || SameBytes(targetEncoding, sourceEncoding) || (targetEncoding <= 2 && sourceEncoding <= 2)) {
    *outBytes = byteLength;
    return RYL_OK;
  }
  if (text == nullptr) return RYL_E_INVALID_ARG;
  core::GrowableBuffer<char16_t> scratch;
  RYL_RETURN_IF_FAILED(ConvertToUtf16(scratch.Output(), text, byteLength, sourceEncoding));
  return MeasureFromUtf16(scratch.data(), scratch.size(), targetEncoding, outBytes);
}

ResultCode Recode(OutputBuffer* output, const uint8_t* text, uint32_t byteLength, uint32_t targetEncoding,
                  uint32_t sourceEncoding) noexcept {
  if (!IsUsable(output)) return RYL_E_INVALID_ARG;
  if (!IsSupported(targetEncoding) || !IsSupported(sourceEncoding)) return RYL_E_NOT_IMPLEMENTED;
  if (byteLength == 0) return core::ResizeOutput(output, 0);
  if (text == nullptr) return RYL_E_INVALID_ARG;
  if (SameBytes(targetEncoding, sourceEncoding)) return core::WriteOutput(output, text, byteLength);
  if (!IsSystem(targetEncoding) && !IsSystem(sourceEncoding)) {
    // Both are table encodings (id 1 read as ISO-8859-1 here): convert
    // directly. The size comes from the same transcoder, so the final length
    // is always what was produced.
    const TextForm from = *TableForm(sourceEncoding);
    const TextForm to = *TableForm(targetEncoding);
    return FillOutput(
        output, [&](uint32_t* size) { return MeasureTranscoded(from, to, text, byteLength, size); },
        [&](void* data, uint32_t capacity, uint32_t* produced) {
          return Transcode(from, to, text, byteLength, static_cast<uint8_t*>(data), capacity, produced);
        });
  }
  core::GrowableBuffer<char16_t> scratch;
  RYL_RETURN_IF_FAILED(ConvertToUtf16(scratch.Output(), text, byteLength, sourceEncoding));
  return ConvertFromUtf16(output, scratch.data(), scratch.size(), targetEncoding);
}

}  // namespace ryl::strings
