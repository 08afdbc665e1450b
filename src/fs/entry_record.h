// What a listing keeps of one directory entry: a fixed-size copy of the
// native record, so that handing an entry out costs one copy and no
// allocation for the name.
#pragma once

#include <cstdint>

#include "strings/path_text.h"

namespace ryl::fs {

struct EntryRecord {
  // Units of the name field; the longest name it holds is one unit shorter,
  // for the terminator.
  static constexpr uint32_t kNameUnits = 260;
  static constexpr uint32_t kShortNameUnits = 16;

  uint32_t attributes;
  uint32_t reserved;
  uint64_t creationTime;
  uint64_t lastAccessTime;
  uint64_t lastWriteTime;
  uint32_t sizeHigh;
  uint32_t sizeLow;
  char16_t name[kNameUnits];            // zero-terminated
  char16_t shortName[kShortNameUnits];  // zero-terminated; at most 12 used
  uint64_t changeTime;
  uint32_t eaSize;

  strings::PathText Name() const noexcept { return strings::PathText(name, UnitsBefore(name, kNameUnits)); }
  strings::PathText ShortName() const noexcept { return strings::PathText(shortName, UnitsBefore(shortName, kShortNameUnits)); }
  uint64_t Size() const noexcept { return (uint64_t{sizeHigh} << 32) | sizeLow; }

 private:
  static uint32_t UnitsBefore(const char16_t* text, uint32_t limit) noexcept {
    uint32_t n = 0;
    while (n < limit && text[n] != u'\0') ++n;
    return n;
  }
};

// Native attribute bits the filter looks at.
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;

}  // namespace ryl::fs
