#include "sys/random.h"

#include "sys/native_api.h"
#include <bcrypt.h>

#include "sys/result_codes.h"

namespace ryl::sys {

ResultCode RylGenerateRandomBytes(void* buffer, size_t length) noexcept {
  if (buffer == nullptr && length != 0) return RYL_E_INVALID_ARG;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (length != 0) {
    const ULONG chunk = length > 0x10000000u ? 0x10000000u : static_cast<ULONG>(length);
    const NTSTATUS status = BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
    bytes += chunk;
    length -= chunk;
  }
  return RYL_OK;
}

ResultCode RylGenerateRandomDWord(uint32_t* outValue) noexcept {
  if (outValue == nullptr) return RYL_E_INVALID_ARG;
  uint32_t value = 0;
  const ResultCode rc = RylGenerateRandomBytes(&value, sizeof value);
  if (rc < 0) return rc;
  *outValue = value;
  return RYL_OK;
}

}  // namespace ryl::sys
