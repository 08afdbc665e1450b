// libzstd as the reference for the zstd stream: ZSTD_decompressStream over
// the whole input, frame after frame.
#include <zstd.h>
#include <zstd_errors.h>

#include "reference_decoders.h"

namespace ryl::fuzz {
ReferenceResult DecompressZstd(const uint8_t* data, size_t size, int windowLogMax, size_t outputStep, size_t limit,
                               bool* memoryRefused) {
  *memoryRefused = false;
  ReferenceResult result;
  result.completeBeforeCorruption = false;
  ZSTD_DCtx* dctx = ZSTD_createDCtx();
  if (dctx == nullptr) return result;
  if (ZSTD_isError(ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, windowLogMax))) {
    ZSTD_freeDCtx(dctx);
    return result;
  }
  ZSTD_inBuffer in = {data, size, 0};
  // No input at all is no frame: nothing has ended.
  size_t hint = 1;
  for (;;) {
    const size_t old = result.output.size();
    result.output.resize(old + outputStep);
    ZSTD_outBuffer out = {result.output.data() + old, outputStep, 0};
    if (in.pos < in.size || hint != 0) hint = ZSTD_decompressStream(dctx, &out, &in);
    result.output.resize(old + out.pos);
    if (ZSTD_isError(hint)) {
      *memoryRefused = ZSTD_getErrorCode(hint) == ZSTD_error_frameParameter_windowTooLarge;
      result.end = ReferenceEnd::kCorrupt;
      break;
    }
    if (result.output.size() > limit) {
      result.end = ReferenceEnd::kLimited;
      break;
    }
    // Input used up and room left over: whatever was decodable is out.
    if (in.pos == in.size && out.pos < out.size) {
      result.end = hint == 0 ? ReferenceEnd::kComplete : ReferenceEnd::kTruncated;
      break;
    }
  }
  ZSTD_freeDCtx(dctx);
  return result;
}

}  // namespace ryl::fuzz
