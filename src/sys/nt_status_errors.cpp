#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {

uint32_t RylNtStatusToWin32Error(int32_t status) noexcept {
  return RtlNtStatusToDosError(static_cast<NTSTATUS>(status));
}

}  // namespace ryl::sys
