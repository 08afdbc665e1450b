#include "strings/case_mapping.h"

#include "core/growable_buffer.h"
#include "core/host_text.h"
#include "core/output_writer.h"
#include "core/result_helpers.h"
#include "sys/code_pages.h"

namespace ryl::strings {

char16_t ToLowerUnit(char16_t unit) noexcept {
  if (unit < 0x41) return unit;
  if (unit <= 0x5A) return static_cast<char16_t>(unit + 0x20);
  return sys::RylDowncaseChar(unit);
}

char16_t ToUpperUnit(char16_t unit) noexcept {
  if (unit < 0x61) return unit;
  if (unit <= 0x7A) return static_cast<char16_t>(unit - 0x20);
  return sys::RylUpcaseChar(unit);
}

ResultCode MapCase(LetterCase target, uint32_t flags, OutputBuffer* output, const char16_t* text,
                   uint32_t length) noexcept {
  if (flags != 0) return RYL_E_INVALID_ARG;
  if (output == nullptr || output->callbacks == nullptr || output->callbacks->Resize == nullptr) {
    return RYL_E_INVALID_ARG;
  }
  if (length == core::kZeroTerminated) {
    if (text == nullptr) return RYL_E_INVALID_ARG;
    length = static_cast<uint32_t>(core::HostText(text, length).size());
  }
  if (text == nullptr && length != 0) return RYL_E_INVALID_ARG;

  // The mapped text is built in a buffer of the module's own, zero-terminated,
  // so that a module-owned output can simply take its storage. Building it
  // apart also makes text that lives in the output's own storage safe.
  core::GrowableBuffer<char16_t> scratch;
  RYL_RETURN_IF_FAILED(scratch.Resize(length + 1));
  char16_t* mapped = scratch.data();
  for (uint32_t i = 0; i < length; ++i) {
    mapped[i] = target == LetterCase::kLower ? ToLowerUnit(text[i]) : ToUpperUnit(text[i]);
  }
  mapped[length] = 0;
  RYL_RETURN_IF_FAILED(scratch.Resize(length));

  if (core::HasVersion2Entries(output) && output->callbacks->Swap != nullptr) {
    OutputBuffer* own = scratch.Output();
    const ResultCode swapped =
        output->callbacks->Swap(&output->view, own->callbacks, own->context, &own->view, output->context);
    // A buffer of another kind refuses the swap; it gets a copy instead.
    if (swapped != RYL_E_UNSUPPORTED_VERSION) return swapped;
  }
  return core::WriteOutput(output, scratch.data(), length);
}

int32_t CompareNoCase(const char16_t* first, uint32_t firstLength, const char16_t* second,
                      uint32_t secondLength) noexcept {
  if (first == nullptr) firstLength = 0;
  if (second == nullptr) secondLength = 0;
  const uint32_t common = firstLength < secondLength ? firstLength : secondLength;
  for (uint32_t i = 0; i < common; ++i) {
    if (first[i] == second[i]) continue;
    const char16_t a = sys::RylUpcaseChar(first[i]);
    const char16_t b = sys::RylUpcaseChar(second[i]);
    if (a != b) return a > b ? 1 : -1;
  }
  if (firstLength == secondLength) return 0;
  return firstLength > secondLength ? 1 : -1;
}

}  // namespace ryl::strings
