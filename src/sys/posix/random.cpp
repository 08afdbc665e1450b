// The cryptographic generator for the portable (fuzzing) build: the kernel's
// getrandom.
#include "sys/random.h"

// The system header's name is the facade's own on this include path, so the
// call goes through syscall.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace ryl::sys {

ResultCode RylGenerateRandomBytes(void* buffer, size_t length) noexcept {
  if (buffer == nullptr && length != 0) return RYL_E_INVALID_ARG;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (length != 0) {
    // getrandom may return fewer bytes than asked, or be interrupted.
    const long got = syscall(SYS_getrandom, bytes, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return RYL_E_CRYPTO_FAILED;
    }
    bytes += got;
    length -= static_cast<size_t>(got);
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
