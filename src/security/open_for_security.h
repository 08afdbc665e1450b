// Opening a file or registry key for reading or writing its security.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/scoped_handle.h"
#include "sys/win_object.h"

namespace ryl::security {

// Opens the object with the access the parts need (after EffectiveParts):
// - a file by DOS path (kinds 0 and 1), converted without reaching DOS
//   devices, shared for reading, writing and deletion, open options 0;
// - a registry key (kind 2) by its native path, unchanged. Without a
//   transaction the 64-bit view is asked for on a 64-bit system. With one,
//   which needs Windows Vista or later (else RYL_E_UNSUPPORTED_VERSION), it
//   is made the thread's current transaction for the open and the previous
//   one is restored afterwards, also when the open fails.
// Any other kind is RYL_E_UNSUPPORTED_VERSION. *out receives the handle only
// on success; nothing stays open on failure.
[[nodiscard]] ResultCode OpenForSecurity(const sys::RylWinObject& object, bool forWriting, uint32_t parts,
                                         sys::ScopedHandle* out) noexcept;

}  // namespace ryl::security
