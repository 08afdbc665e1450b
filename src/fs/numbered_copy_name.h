// The names a copy takes when its name is taken: "a.txt" becomes "a.txt.1",
// "a.txt.2" and so on. A name that already ends in a dot and a whole number
// is cut back before that dot first, so "a.txt.3" counts on from "a.txt".
#pragma once

#include <cstdint>

#include "strings/path_scratch_buffer.h"
#include "strings/path_text.h"

namespace ryl::fs {

// The base of the numbered names of path: path without a last ".digits".
strings::PathText NumberedCopyBase(strings::PathText path) noexcept;

// base + "." + number into *out.
[[nodiscard]] ResultCode MakeNumberedCopyName(strings::PathText base, uint32_t number,
                                              strings::PathScratchBuffer* out) noexcept;

}  // namespace ryl::fs
