#include "sys/win_security_identifier.h"

#include <cstring>

#include "sys/native_api.h"

namespace ryl::sys {

ResultCode RylWinSecurityIdentifier::Initialize(const void* sid) noexcept {
  if (sid == nullptr) return RYL_E_INVALID_ARG;
  PSID source = const_cast<void*>(sid);
  // BOOLEAN: only the low byte is defined.
  if (static_cast<BOOLEAN>(RtlValidSid(source)) == 0) return RYL_E_INVALID_ARG;
  const ULONG length = RtlLengthSid(source);
  if (length == 0 || length > kLargestSidSize) return RYL_E_INVALID_ARG;
  // Copied by hand: RtlCopySid returns a status on Windows but a BOOLEAN on
  // Wine, where TRUE would read as an informational status and FALSE as
  // success. With the length checked there is nothing it could refuse.
  std::memcpy(sid_, sid, length);
  size_ = length;
  return RYL_OK;
}

}  // namespace ryl::sys
