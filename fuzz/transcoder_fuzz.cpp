// Text between every pair of encodings: measuring and converting must agree
// (success, failure and length), fixed outputs must follow the fill rule,
// converted text must come back unchanged, and the transcoder's vector paths
// must give what its plain paths give.
//
// Input: source id, target id, a flags byte (bit 0: plain paths only; bit 1:
// multibyte system code page; bits 2-7 all set: long text), a capacity
// offset, then text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "core/growable_buffer.h"
#include "fixed_output_buffer.h"
#include "fuzz_check.h"
#include "strings/text_conversion.h"
#include "strings/transcoder.h"
#include "sys/code_pages.h"

namespace {

using ryl::core::GrowableBuffer;
using ryl::fuzz::FixedOutputBuffer;
using ryl::strings::TextForm;

constexpr uint32_t kEncodingIds = 11;
constexpr uint8_t kPlainPathsOnly = 0x01;
constexpr uint8_t kMultibyteSystem = 0x02;
// All six bits: one input in 64. A long text costs a hundred short ones;
// the inputs that reach the chunk boundaries are kept by coverage anyway.
constexpr uint8_t kLongText = 0xFC;
// Past the system code pages' chunk of 32766 elements, in bytes and in units.
// Only the system code pages (ids 0-2) convert in chunks, so only they get
// the long text.
constexpr size_t kLongTextBytes = 66000;

bool IsSupported(uint32_t id) { return id < kEncodingIds && id != 3; }

bool KeepsItsBytes(uint32_t id) { return id <= 2 || id == 5 || id == 7 || id == 9; }

// A capacity near the exact size, where the fill rule changes its answer.
uint32_t CapacityNear(uint32_t exact, int8_t offset) {
  const int64_t capacity = int64_t{exact} + offset;
  return capacity < 0 ? 0 : static_cast<uint32_t>(capacity);
}

template <typename Element>
bool SameContents(const Element* a, uint32_t aLength, const Element* b, uint32_t bLength) {
  return aLength == bLength && (aLength == 0 || std::memcmp(a, b, aLength * sizeof(Element)) == 0);
}

// A fixed buffer gets the result when it fits, and otherwise
// RYL_E_OUT_OF_RANGE and an empty buffer.
template <typename Element, class Convert>
void CheckFixedFill(uint32_t exact, const Element* expected, int8_t offset, Convert convert) {
  const uint32_t capacity = CapacityNear(exact, offset);
  FixedOutputBuffer<Element> fixed(capacity);
  const ResultCode rc = convert(fixed.Output());
  if (exact <= capacity) {
    FUZZ_CHECK(rc == RYL_OK);
    FUZZ_CHECK(SameContents(fixed.data(), fixed.size(), expected, exact));
  } else {
    FUZZ_CHECK(rc == RYL_E_OUT_OF_RANGE);
    FUZZ_CHECK(fixed.size() == 0);
  }
}

void CheckToUtf16(const std::vector<uint8_t>& text, uint32_t id, int8_t offset) {
  const auto length = static_cast<uint32_t>(text.size());
  uint32_t units = 0;
  const ResultCode measured = ryl::strings::MeasureToUtf16(text.data(), length, id, &units);
  GrowableBuffer<char16_t> out;
  const ResultCode converted = ryl::strings::ConvertToUtf16(out.Output(), text.data(), length, id);
  FUZZ_CHECK(measured == converted);
  if (!IsSupported(id)) FUZZ_CHECK(converted == RYL_E_NOT_IMPLEMENTED);
  if (converted < 0) return;
  FUZZ_CHECK(out.size() == units);
  CheckFixedFill(units, out.data(), offset, [&](OutputBuffer* output) {
    return ryl::strings::ConvertToUtf16(output, text.data(), length, id);
  });
  // And back, for the encodings whose readers accept only what their
  // writers produce. The system code pages are ISO-8859-1 here. UTF-8 drops
  // stray continuation bytes, and UTF-32 values above the last plane reach
  // UTF-16 as their low 20 bits: neither comes back unchanged.
  if (!KeepsItsBytes(id)) return;
  GrowableBuffer<uint8_t> back;
  FUZZ_CHECK(ryl::strings::ConvertFromUtf16(back.Output(), out.data(), out.size(), id) == RYL_OK);
  FUZZ_CHECK(SameContents(back.data(), back.size(), text.data(), length));
}

void CheckFromUtf16(const std::vector<uint8_t>& text, uint32_t id, int8_t offset) {
  std::vector<char16_t> units(text.size() / 2);
  if (!units.empty()) std::memcpy(units.data(), text.data(), units.size() * 2);
  const auto length = static_cast<uint32_t>(units.size());
  uint32_t bytes = 0;
  const ResultCode measured = ryl::strings::MeasureFromUtf16(units.data(), length, id, &bytes);
  GrowableBuffer<uint8_t> out;
  const ResultCode converted = ryl::strings::ConvertFromUtf16(out.Output(), units.data(), length, id);
  FUZZ_CHECK(measured == converted);
  if (!IsSupported(id)) FUZZ_CHECK(converted == RYL_E_NOT_IMPLEMENTED);
  if (converted < 0) return;
  FUZZ_CHECK(out.size() == bytes);
  CheckFixedFill(bytes, out.data(), offset, [&](OutputBuffer* output) {
    return ryl::strings::ConvertFromUtf16(output, units.data(), length, id);
  });
}

std::optional<TextForm> TableForm(uint32_t id) {
  switch (id) {
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

// Recoding between two table encodings converts directly, while measuring a
// recoding always goes through UTF-16 text (an encoded surrogate or a UTF-32
// value past the last plane differs between the two routes, on purpose).
// So Recode agrees with the direct measure there, and with MeasureRecoded
// where a system code page sends both through UTF-16.
void CheckRecode(const std::vector<uint8_t>& text, uint32_t target, uint32_t source) {
  const auto length = static_cast<uint32_t>(text.size());
  uint32_t bytes = 0;
  const ResultCode measured = ryl::strings::MeasureRecoded(text.data(), length, target, source, &bytes);
  GrowableBuffer<uint8_t> out;
  const ResultCode converted = ryl::strings::Recode(out.Output(), text.data(), length, target, source);
  if (!IsSupported(target) || !IsSupported(source)) {
    FUZZ_CHECK(measured == RYL_E_NOT_IMPLEMENTED && converted == RYL_E_NOT_IMPLEMENTED);
    return;
  }
  const std::optional<TextForm> from = TableForm(source);
  const std::optional<TextForm> to = TableForm(target);
  if (from && to && *from != *to && length != 0) {
    uint32_t direct = 0;
    FUZZ_CHECK(ryl::strings::MeasureTranscoded(*from, *to, text.data(), length, &direct) == converted);
    if (converted >= 0) FUZZ_CHECK(out.size() == direct);
    return;
  }
  FUZZ_CHECK(measured == converted);
  if (converted < 0) return;
  FUZZ_CHECK(out.size() == bytes);
}

struct Transcoded {
  ResultCode rc;
  std::vector<uint8_t> bytes;
};

Transcoded RunTranscode(TextForm from, TextForm to, const std::vector<uint8_t>& text, uint32_t capacity) {
  Transcoded result{RYL_OK, std::vector<uint8_t>(capacity == 0 ? 1 : capacity)};
  uint32_t produced = 0;
  result.rc = ryl::strings::Transcode(from, to, text.data(), static_cast<uint32_t>(text.size()), result.bytes.data(),
                                      capacity, &produced);
  result.bytes.resize(result.rc < 0 ? 0 : produced);
  return result;
}

void CheckTranscoder(const std::vector<uint8_t>& text, TextForm from, TextForm to) {
  const auto length = static_cast<uint32_t>(text.size());
  uint32_t exact = 0;
  const ResultCode measured = ryl::strings::MeasureTranscoded(from, to, text.data(), length, &exact);
  const Transcoded vector = RunTranscode(from, to, text, measured < 0 ? length * 4 + 4 : exact);
  ryl::strings::AllowVectorInstructionsForTesting(false);
  const Transcoded plain = RunTranscode(from, to, text, measured < 0 ? length * 4 + 4 : exact);
  ryl::strings::AllowVectorInstructionsForTesting(true);
  FUZZ_CHECK(vector.rc == plain.rc && vector.bytes == plain.bytes);
  if (from == to) return;  // a copy: measured as the length, never checked
  FUZZ_CHECK(measured == vector.rc);
  if (measured < 0) return;
  FUZZ_CHECK(vector.bytes.size() == exact);
  if (exact != 0) FUZZ_CHECK(RunTranscode(from, to, text, exact - 1).rc == RYL_E_OUT_OF_RANGE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t source = data[0] % kEncodingIds;
  const uint32_t target = data[1] % kEncodingIds;
  const uint8_t flags = data[2];
  const auto offset = static_cast<int8_t>(data[3]);
  std::vector<uint8_t> text(data + 4, data + size);
  ryl::strings::AllowVectorInstructionsForTesting((flags & kPlainPathsOnly) == 0);
  ryl::sys::RylOverrideMultibyteCodePageForTesting((flags & kMultibyteSystem) != 0 ? 1 : -1);

  // A long text matters only where the system code pages take it in chunks:
  // those conversions alone, to keep its cost down.
  if ((flags & kLongText) == kLongText && (source <= 2 || target <= 2) && !text.empty()) {
    const std::vector<uint8_t> once = text;
    while (text.size() < kLongTextBytes) text.insert(text.end(), once.begin(), once.end());
    if (source <= 2) CheckToUtf16(text, source, offset);
    if (target <= 2) CheckFromUtf16(text, target, offset);
    ryl::strings::AllowVectorInstructionsForTesting(true);
    ryl::sys::RylOverrideMultibyteCodePageForTesting(-1);
    return 0;
  }

  CheckToUtf16(text, source, offset);
  CheckFromUtf16(text, target, offset);
  CheckRecode(text, target, source);

  ryl::strings::AllowVectorInstructionsForTesting(true);
  ryl::sys::RylOverrideMultibyteCodePageForTesting(-1);
  CheckTranscoder(text, static_cast<TextForm>(data[0] % 6), static_cast<TextForm>(data[1] % 6));
  return 0;
}
