#include "sys/nt_file_path.h"

namespace ryl::sys {
namespace {

char16_t AsciiUpper(char16_t c) noexcept { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool StartsWithNoCase(const char16_t* path, uint32_t length, const char16_t* prefix, uint32_t prefixLength) noexcept {
  if (length < prefixLength) return false;
  for (uint32_t i = 0; i < prefixLength; ++i) {
    if (AsciiUpper(path[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool RylWinIsNtFilePath(const char16_t* path, uint32_t length) noexcept {
  if (path == nullptr) return false;
  return StartsWithNoCase(path, length, u"\\??\\", 4) || StartsWithNoCase(path, length, u"\\GLOBAL??\\", 10);
}

}  // namespace ryl::sys
