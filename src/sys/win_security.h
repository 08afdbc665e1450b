// Questions about the security of objects rather than of descriptors.
#pragma once

#include "ryl/result.h"
#include "sys/win_object.h"

namespace ryl::sys::RylWinSecurity {

// Whether the object can keep access lists at all. A file answers from its
// volume's file-system attributes (FILE_PERSISTENT_ACLS); a registry key
// always can. A file that cannot be opened fails with the open's result, an
// unknown kind with RYL_E_UNSUPPORTED_VERSION; *outSupported is written only
// on success.
[[nodiscard]] ResultCode IsACLSupportedOnObject(const RylWinObject& object, bool* outSupported) noexcept;

}  // namespace ryl::sys::RylWinSecurity
