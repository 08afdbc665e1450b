#include "sys/process.h"

#include "sys/native_api.h"

namespace ryl::sys::RylProcess {

ResultCode GetCurrentDirectoryPath(RylWideStringRecord* target, uint32_t* outNeededSize) noexcept {
  if (target == nullptr || (target->buffer == nullptr && target->capacity != 0)) return RYL_E_INVALID_ARG;
  // The native routine takes a byte count that must hold the terminator too.
  if (target->capacity >= 0x7FFFFFFEu) return RYL_E_INVALID_ARG;
  const ULONG bytes = (target->capacity + 1) * sizeof(WCHAR);
  WCHAR spare = 0;
  WCHAR* buffer = target->buffer != nullptr ? reinterpret_cast<WCHAR*>(target->buffer) : &spare;
  const ULONG written = RtlGetCurrentDirectory_U(bytes, buffer);
  if (written == 0) return RYL_E_INVALID_PATH;
  if (written >= bytes) {
    // Too small: the routine answered the size it needs, terminator included.
    if (outNeededSize != nullptr) *outNeededSize = written / sizeof(WCHAR);
    return RYL_E_OUT_OF_RANGE;
  }
  target->length = written / sizeof(WCHAR);
  return RYL_OK;
}

}  // namespace ryl::sys::RylProcess
