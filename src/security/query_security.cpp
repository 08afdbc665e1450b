#include "security/query_security.h"

#include <utility>

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::security {
namespace {

// Enough for the descriptors of most files and keys in one call.
constexpr uint32_t kFirstAttempt = 512;

bool IsErrorStatus(NTSTATUS status) noexcept { return (static_cast<uint32_t>(status) >> 30) == 3; }

}  // namespace

ResultCode QuerySecurity(void* handle, uint32_t parts, sys::HeapBytes* buffer, uint32_t* outLength) noexcept {
  if (buffer == nullptr || outLength == nullptr) return RYL_E_INVALID_ARG;
  sys::HeapBytes attempt;
  if (!attempt.Allocate(kFirstAttempt)) return RYL_E_OUT_OF_MEMORY;
  ULONG needed = 0;
  NTSTATUS status = ZwQuerySecurityObject(handle, parts, attempt.data(), attempt.size(), &needed);
  if (IsErrorStatus(status) && needed > attempt.size()) {
    if (!attempt.Allocate(needed)) return RYL_E_OUT_OF_MEMORY;
    needed = 0;
    status = ZwQuerySecurityObject(handle, parts, attempt.data(), attempt.size(), &needed);
  }
  if (status < 0) return sys::RylResultFromNtStatus(status);
  // The length written; a system that reports none has filled what it had.
  const uint32_t length = needed != 0 && needed <= attempt.size() ? needed : attempt.size();
  *buffer = std::move(attempt);
  *outLength = length;
  return RYL_OK;
}

}  // namespace ryl::security
