#include "sys/system_time.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {

ResultCode RylGetSystemTime(uint64_t* outTime) noexcept {
  if (outTime == nullptr) return RYL_E_INVALID_ARG;
  LARGE_INTEGER now;
  const NTSTATUS status = NtQuerySystemTime(&now);
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  *outTime = static_cast<uint64_t>(now.QuadPart);
  return RYL_OK;
}

}  // namespace ryl::sys
