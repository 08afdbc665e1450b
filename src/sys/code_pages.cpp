#include "sys/code_pages.h"

#include <atomic>

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {
namespace {

// The counted-string fields are 16-bit byte counts.
constexpr uint32_t kMaxFieldBytes = 0xFFFF;

std::atomic<int> g_multibyteOverride{-1};

USHORT FieldBytes(uint32_t elements, uint32_t elementSize) noexcept {
  const uint64_t bytes = uint64_t{elements} * elementSize;
  return static_cast<USHORT>(bytes > kMaxFieldBytes ? kMaxFieldBytes : bytes);
}

STRING NarrowString(const uint8_t* text, uint32_t length) noexcept {
  STRING string;
  string.Length = static_cast<USHORT>(length);
  string.MaximumLength = static_cast<USHORT>(length);
  string.Buffer = reinterpret_cast<PCHAR>(const_cast<uint8_t*>(text));
  return string;
}

UNICODE_STRING WideString(const char16_t* text, uint32_t units) noexcept {
  UNICODE_STRING string;
  string.Length = static_cast<USHORT>(units * 2);
  string.MaximumLength = static_cast<USHORT>(units * 2);
  string.Buffer = reinterpret_cast<PWSTR>(const_cast<char16_t*>(text));
  return string;
}

}  // namespace

bool RylIsMultibyteCodePage() noexcept {
  const int forced = g_multibyteOverride.load(std::memory_order_relaxed);
  if (forced >= 0) return forced != 0;
  return NlsMbOemCodePageTag != 0;
}

void RylOverrideMultibyteCodePageForTesting(int answer) noexcept {
  g_multibyteOverride.store(answer < 0 ? -1 : (answer != 0 ? 1 : 0), std::memory_order_relaxed);
}

uint32_t RylCodePageToUtf16Size(RylCodePage page, const uint8_t* text, uint32_t length) noexcept {
  if (length == 0 || length > kRylCodePageChunkBytes) return length;
  STRING source = NarrowString(text, length);
  const ULONG bytes = page == RylCodePage::kOem ? RtlxOemStringToUnicodeSize(&source)
                                                : RtlxAnsiStringToUnicodeSize(&source);
  return bytes >= sizeof(WCHAR) ? bytes / sizeof(WCHAR) - 1 : 0;
}

uint32_t RylUtf16ToCodePageSize(RylCodePage page, const char16_t* text, uint32_t units) noexcept {
  if (units == 0 || units > kRylCodePageChunkUnits) return units;
  UNICODE_STRING source = WideString(text, units);
  const ULONG bytes = page == RylCodePage::kOem ? RtlxUnicodeStringToOemSize(&source)
                                                : RtlxUnicodeStringToAnsiSize(&source);
  return bytes >= 1 ? bytes - 1 : 0;
}

ResultCode RylCodePageToUtf16(RylCodePage page, const uint8_t* text, uint32_t length, char16_t* destination,
                              uint32_t capacity, uint32_t* outProduced) noexcept {
  if (length > kRylCodePageChunkBytes || outProduced == nullptr) return RYL_E_INVALID_ARG;
  STRING source = NarrowString(text, length);
  UNICODE_STRING target;
  target.Length = 0;
  target.MaximumLength = FieldBytes(capacity, sizeof(WCHAR));
  target.Buffer = reinterpret_cast<PWSTR>(destination);
  const NTSTATUS status = page == RylCodePage::kOem ? RtlOemStringToUnicodeString(&target, &source, FALSE)
                                                    : RtlAnsiStringToUnicodeString(&target, &source, FALSE);
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  *outProduced = target.Length / sizeof(WCHAR);
  return RYL_OK;
}

ResultCode RylUtf16ToCodePage(RylCodePage page, const char16_t* text, uint32_t units, uint8_t* destination,
                              uint32_t capacity, uint32_t* outProduced) noexcept {
  if (units > kRylCodePageChunkUnits || outProduced == nullptr) return RYL_E_INVALID_ARG;
  UNICODE_STRING source = WideString(text, units);
  STRING target;
  target.Length = 0;
  target.MaximumLength = FieldBytes(capacity, 1);
  target.Buffer = reinterpret_cast<PCHAR>(destination);
  const NTSTATUS status = page == RylCodePage::kOem ? RtlUnicodeStringToOemString(&target, &source, FALSE)
                                                    : RtlUnicodeStringToAnsiString(&target, &source, FALSE);
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  *outProduced = target.Length;
  return RYL_OK;
}

char16_t RylUpcaseChar(char16_t unit) noexcept { return static_cast<char16_t>(RtlUpcaseUnicodeChar(unit)); }

char16_t RylDowncaseChar(char16_t unit) noexcept { return static_cast<char16_t>(RtlDowncaseUnicodeChar(unit)); }

}  // namespace ryl::sys
