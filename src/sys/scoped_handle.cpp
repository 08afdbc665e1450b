#include "sys/scoped_handle.h"

#include "sys/native_api.h"

namespace ryl::sys {

int32_t CloseNativeHandle(void* handle) noexcept {
  const DWORD lastError = GetLastError();
  const NTSTATUS status = NtClose(handle);
  SetLastError(lastError);
  return status;
}

}  // namespace ryl::sys
