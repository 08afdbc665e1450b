// Reading the security descriptor of a file or registry key into a
// security-descriptor object, and writing an object's descriptor back.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "ryl/security.h"
#include "sys/win_object.h"
#include "sys/win_security_descriptor.h"

namespace ryl::security {

// Informational: the object's file system keeps no access lists, so there
// was nothing to write.
inline constexpr ResultCode kAccessListsNotSupported = RYL_RESULT(0x60010054u);

// Reads the selected parts (the label only from Windows Vista on) and puts
// them into *target. A descriptor the system returns that is not well
// formed is RYL_E_INVALID_ARG. On failure *target keeps what it held.
[[nodiscard]] ResultCode ReadSecurityDescriptor(const sys::RylWinObject& object, uint32_t parts,
                                                sys::RylWinSecurityDescriptor* target) noexcept;

// The same, handing the descriptor to any security object through its
// set-from-self-relative slot; that slot's failure is returned.
[[nodiscard]] ResultCode ReadSecurityDescriptorInto(const sys::RylWinObject& object, uint32_t parts,
                                                    RylSecurityObject* target) noexcept;

// Writes the parts the source holds (the label only from Windows Vista on).
// kAccessListsNotSupported when the object's file system keeps no access
// lists; RYL_E_NOT_OPEN when the source holds no descriptor; RYL_E_INVALID_ARG
// when the source's descriptor is not well formed.
[[nodiscard]] ResultCode WriteSecurityDescriptor(RylSecurityObject* source, const sys::RylWinObject& object) noexcept;

}  // namespace ryl::security
