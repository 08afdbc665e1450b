#include "archive/entry_coding.h"

namespace ryl::archive {

EntryCoding DescribeCoding(const CentralHeaderImage& header) noexcept {
  EntryCoding coding;
  coding.method = header.method;
  if (header.method != kMethodAes) return coding;
  coding.aes = FindAesRecord(header.extras);
  if (coding.aes) {
    coding.method = coding.aes->method;
  } else {
    coding.aesUnreadable = true;
  }
  return coding;
}

bool IsDecodedMethod(uint16_t method) noexcept {
  switch (method) {
    case kMethodStored:
    case kMethodDeflate:
    case kMethodBzip2:
    case kMethodLzma:
    case kMethodZstd:
    case kMethodXz:
      return true;
    default:
      return false;
  }
}

bool IsEntryReadable(const CentralHeaderImage& header) noexcept {
  const EntryCoding coding = DescribeCoding(header);
  const uint16_t version = header.versionNeeded & 0xFF;
  if (header.method == kMethodAes) {
    return !coding.aesUnreadable && IsDecodedMethod(coding.method) && version <= kVersionNeededModernMethods;
  }
  if (IsExtractVersionSupported(header.versionNeeded)) return true;
  // The older methods keep the gate they always had.
  const bool modern = coding.method == kMethodLzma || coding.method == kMethodZstd || coding.method == kMethodXz;
  return modern && version <= kVersionNeededModernMethods;
}

}  // namespace ryl::archive
