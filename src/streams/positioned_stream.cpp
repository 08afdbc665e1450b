#include "streams/positioned_stream.h"

namespace ryl::streams {

ResultCode ComputeSeekTarget(uint64_t current, int64_t offset, uint32_t origin, SeekableStream* sizeSource,
                             uint64_t* outTarget) noexcept {
  int64_t base = 0;
  switch (origin) {
    case RYL_SEEK_BEGIN:
      base = 0;
      break;
    case RYL_SEEK_CURRENT:
      base = static_cast<int64_t>(current);
      break;
    case RYL_SEEK_END: {
      uint64_t size = 0;
      const ResultCode rc = sizeSource->GetSize(&size);
      if (rc < 0) return rc;
      base = static_cast<int64_t>(size);
      break;
    }
    default:
      return RYL_E_INVALID_ARG;
  }
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) return RYL_E_INVALID_SEEK;
  *outTarget = static_cast<uint64_t>(target);
  return RYL_OK;
}

}  // namespace ryl::streams
