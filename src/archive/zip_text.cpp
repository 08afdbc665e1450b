#include "archive/zip_text.h"

#include "core/entry_guard.h"
#include "core/growable_buffer.h"
#include "core/result_helpers.h"
#include "strings/text_conversion.h"

namespace ryl::archive {
namespace {

// Encoding ids of the string service.
constexpr uint32_t kAnsi = 0;
constexpr uint32_t kOem = 2;
constexpr uint32_t kUtf8 = 4;

ResultCode ToUtf16(const uint8_t* bytes, uint32_t length, uint32_t encoding, std::u16string* out) noexcept {
  if ((bytes == nullptr && length != 0) || out == nullptr) return RYL_E_INVALID_ARG;
  core::GrowableBuffer<char16_t> buffer;
  RYL_RETURN_IF_FAILED(strings::ConvertToUtf16(buffer.Output(), bytes, length, encoding));
  return core::GuardEntry([&]() -> ResultCode {
    out->assign(buffer.data() != nullptr ? buffer.data() : u"", buffer.size());
    return RYL_OK;
  });
}

ResultCode FromUtf16(std::u16string_view text, uint32_t encoding, std::vector<uint8_t>* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  if (text.size() > UINT32_MAX) return RYL_E_VALUE_TOO_LARGE;
  core::GrowableBuffer<uint8_t> buffer;
  RYL_RETURN_IF_FAILED(
      strings::ConvertFromUtf16(buffer.Output(), text.data(), static_cast<uint32_t>(text.size()), encoding));
  return core::GuardEntry([&]() -> ResultCode {
    out->assign(buffer.data(), buffer.data() + buffer.size());
    return RYL_OK;
  });
}

}  // namespace

ResultCode DecodeEntryText(const uint8_t* bytes, uint32_t length, bool utf8, std::u16string* out) noexcept {
  return ToUtf16(bytes, length, utf8 ? kUtf8 : kOem, out);
}

ResultCode EncodeEntryText(std::u16string_view text, std::vector<uint8_t>* out) noexcept {
  return FromUtf16(text, kUtf8, out);
}

bool NeedsUtf8Flag(std::u16string_view text) noexcept {
  for (char16_t unit : text) {
    if (unit > 127) return true;
  }
  return false;
}

ResultCode DecodeArchiveComment(const uint8_t* bytes, uint32_t length, std::u16string* out) noexcept {
  return ToUtf16(bytes, length, kOem, out);
}

// The code page the comment is read in, so that opening and saving an
// archive keeps its comment byte for byte.
ResultCode EncodeArchiveComment(std::u16string_view text, std::vector<uint8_t>* out) noexcept {
  return FromUtf16(text, kOem, out);
}

ResultCode EncodePassword(std::u16string_view password, std::vector<uint8_t>* out) noexcept {
  return FromUtf16(password, kAnsi, out);
}

}  // namespace ryl::archive
