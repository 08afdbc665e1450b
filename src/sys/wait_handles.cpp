#include "sys/wait_handles.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {

ResultCode WaitForAnyHandle(void* const* handles, uint32_t count, uint32_t ms, uint32_t* outIndex) noexcept {
  if (handles == nullptr || count == 0 || count > kMaxWaitHandles || outIndex == nullptr) return RYL_E_INVALID_ARG;
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
  const NTSTATUS status = NtWaitForMultipleObjects(count, reinterpret_cast<const HANDLE*>(handles), RylWaitAny,
                                                   FALSE, ms == 0xFFFFFFFFu ? nullptr : &timeout);
  const auto code = static_cast<uint32_t>(status);
  if (code < count) {
    *outIndex = code;
    return RYL_OK;
  }
  if (code >= 128 && code < 128 + count) {
    *outIndex = code - 128;
    return RYL_S_WAIT_ABANDONED;
  }
  if (status == STATUS_TIMEOUT) return RYL_W_TIMEOUT;
  return RylResultFromNtStatus(status);
}

}  // namespace ryl::sys
