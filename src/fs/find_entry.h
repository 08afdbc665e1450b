// The single-entry look-up: the first entry of a path's parent directory
// that matches its last name. Wildcards in that name therefore select the
// first match. The on-disk name forms rest on it.
#pragma once

#include "fs/directory_enumeration.h"
#include "ryl/records.h"
#include "ryl/result.h"
#include "strings/path_text.h"

namespace ryl::fs {

// Leaves *enumeration positioned on the entry; RYL_E_FILE_NOT_FOUND when
// nothing matches, RYL_E_INVALID_ARG for a path that names no entry of a
// directory (`C:\`, an empty path).
[[nodiscard]] ResultCode LookUpEntry(strings::PathText path, DirectoryEnumeration* enumeration) noexcept;

// Service slot 5: the entry, as a new entry object through the receiver.
[[nodiscard]] ResultCode FindEntry(const ObjectReceiver* receiver, strings::PathText path) noexcept;

}  // namespace ryl::fs
