#include "fs/numbered_copy_name.h"

namespace ryl::fs {

strings::PathText NumberedCopyBase(strings::PathText path) noexcept {
  const size_t dot = path.find_last_of(u'.');
  if (dot == strings::PathText::npos || dot + 1 == path.size()) return path;
  for (size_t i = dot + 1; i < path.size(); ++i) {
    if (path[i] < u'0' || path[i] > u'9') return path;
  }
  return path.substr(0, dot);
}

ResultCode MakeNumberedCopyName(strings::PathText base, uint32_t number, strings::PathScratchBuffer* out) noexcept {
  char16_t digits[11];
  uint32_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + number % 10);
    number /= 10;
  } while (number != 0);
  char16_t suffix[12];
  suffix[0] = u'.';
  for (uint32_t i = 0; i < count; ++i) suffix[1 + i] = digits[count - 1 - i];
  if (const ResultCode rc = out->Assign(base.data(), static_cast<uint32_t>(base.size())); rc < 0) return rc;
  return out->Append(suffix, count + 1);
}

}  // namespace ryl::fs
