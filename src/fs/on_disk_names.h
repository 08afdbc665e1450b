// The names a path has on disk: each component replaced by the name its
// directory stores (the long form, in the stored case) or by its short 8.3
// name, and the reverse expansion of short names into long ones.
#pragma once

#include "ryl/records.h"
#include "ryl/result.h"
#include "strings/path_text.h"

namespace ryl::fs {

enum class OnDiskNameForm { kLong, kShort };

// The path must exist. Network and device paths (`\\...`) come back as they
// are; "." and ".." stay as written. A component without a short name keeps
// the text the caller wrote.
[[nodiscard]] ResultCode GetOnDiskPath(OutputBuffer* output, strings::PathText path, OnDiskNameForm form) noexcept;

// Each component that could be a short name is replaced by the long name of
// the entry it names, when there is one; nothing needs to exist.
// RYL_E_INVALID_ARG for an empty path.
[[nodiscard]] ResultCode ExpandShortNames(OutputBuffer* output, strings::PathText path) noexcept;

// True when the text could be an 8.3 name: no wildcard, and at most 8
// characters, or a stem of at most 8 before its last dot and at most 3 after it.
bool CanBeShortName(strings::PathText component) noexcept;

}  // namespace ryl::fs
