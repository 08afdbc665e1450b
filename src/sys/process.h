// What the library reads of its own process's state.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

// A caller-supplied store for wide text: room for capacity characters and,
// after them, the terminator.
struct RylWideStringRecord {
  char16_t* buffer;
  uint32_t capacity;
  uint32_t length;  // set on success; the text is zero-terminated
};

namespace RylProcess {

// Writes the current directory (no trailing separator except after a drive
// root). When the record is too small the result is RYL_E_OUT_OF_RANGE, the
// record is left as it was, and *outNeededSize, when given, receives the size
// needed in characters including the terminator: the caller provides a record
// of that size minus one character and calls again. Another thread may change
// the directory in between, so the second call can fail the same way.
[[nodiscard]] ResultCode GetCurrentDirectoryPath(RylWideStringRecord* target, uint32_t* outNeededSize) noexcept;

}  // namespace RylProcess
}  // namespace ryl::sys
