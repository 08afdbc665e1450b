// Paths that depend on the process state: the current directory, the native
// full-path routine and the conversion into the native object namespace that
// every file-system operation makes before it opens anything. The header
// itself stays free of Windows headers (their macros rename CopyFile and
// friends in the service's slot table); ConvertToNtPath's callers include
// sys/scoped_unicode_string.h.
#pragma once

#include <cstdint>

#include "core/host_text.h"
#include "ryl/records.h"
#include "ryl/result.h"
#include "strings/path_scratch_buffer.h"
#include "strings/path_text.h"
#include "sys/process.h"

namespace ryl::sys {
class ScopedRtlUnicodeString;
}

namespace ryl::fs {

using core::kZeroTerminated;

// The current directory into *out, zero-terminated, growing it as needed.
template <uint32_t InlineCapacity>
[[nodiscard]] ResultCode ReadCurrentDirectory(strings::BasicPathScratchBuffer<InlineCapacity>* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  out->Clear();
  // A bound only against a directory that keeps growing between the calls.
  for (int attempt = 0; attempt < 8; ++attempt) {
    sys::RylWideStringRecord record{out->data(), out->capacity(), 0};
    uint32_t needed = 0;
    const ResultCode rc = sys::RylProcess::GetCurrentDirectoryPath(&record, &needed);
    if (rc == RYL_E_OUT_OF_RANGE && needed != 0) {
      if (const ResultCode grown = out->Reserve(needed - 1); grown < 0) return grown;
      continue;
    }
    if (rc < 0) return rc;
    return out->Resize(record.length);
  }
  return RYL_E_OUT_OF_RANGE;
}

// path made absolute against base (the current directory when base is
// empty). Purely textual once the base is known: "." and ".." stay.
// RYL_E_INVALID_ARG when base is not absolute; RYL_E_BAD_FORMAT for a path
// rooted without a drive (`\x`) against a base without one.
[[nodiscard]] ResultCode MakeAbsolutePath(OutputBuffer* output, strings::PathText path, strings::PathText base) noexcept;

// The native full-path routine's answer: "." and ".." resolved, `/` turned
// into `\`, trailing dots and spaces dropped, reserved device names turned
// into `\\.\name`. RYL_E_INVALID_PATH when no full path can be formed.
[[nodiscard]] ResultCode GetFullPath(OutputBuffer* output, strings::PathText path) noexcept;

// Like GetFullPath, but a path that ends in a reserved device name stays a
// path to a file of that name, in the verbatim form (`C:\d\con` gives
// `\\?\C:\d\con`). length may be kZeroTerminated.
[[nodiscard]] ResultCode GetFullPathVerbatim(OutputBuffer* output, const char16_t* path, uint32_t length) noexcept;

// The native path for a caller's DOS path. The text must be zero-terminated;
// length is its length. Drive paths and long network paths are handed on in
// the verbatim form, so that paths longer than 259 characters and reserved
// or dotted names reach the file they name. On failure *out holds nothing.
[[nodiscard]] ResultCode ConvertToNtPath(sys::ScopedRtlUnicodeString* out, const char16_t* path,
                                         uint32_t length) noexcept;

}  // namespace ryl::fs
