// The library's own file copy through the native layer.
#pragma once

#include "ryl/result.h"
#include "sys/native_api.h"

namespace ryl::fs {

// Copies the data, the last-access and last-write times and the attributes
// of one file to another, both named natively; with copySecurity the copy is
// created with the source's security descriptor. Once the target has been
// created, any failure deletes it again before returning.
[[nodiscard]] ResultCode CopyNtFileNatively(const UNICODE_STRING& source, const UNICODE_STRING& target,
                                            bool failIfExists, bool copySecurity) noexcept;

}  // namespace ryl::fs
