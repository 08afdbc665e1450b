// zstd compression and decompression over libzstd, the codec behind ZIP
// method 93.
#pragma once

#include <cstdint>

#include "sys/codec/codec_context_base.h"

namespace ryl::sys {

class RylZstdContext final : public RylCodecContextBase {
 public:
  // The default level, and the highest one libzstd offers.
  static constexpr int32_t kDefaultLevel = 3;
  static constexpr int32_t kMaxLevel = 22;
  // The largest window a decoder accepts, as a power of two (128 MiB, the
  // limit libzstd itself applies by default): frames that ask for more are
  // refused rather than allowed to take what a 32-bit process has.
  static constexpr int32_t kWindowLogMax = 27;

  RylZstdContext() noexcept = default;
  ~RylZstdContext();

  // level: 1 to kMaxLevel when compressing, anything else is
  // RYL_E_INVALID_ARG; ignored when decompressing. A context is initialised
  // once; a second call is RYL_E_INVALID_STATE.
  [[nodiscard]] ResultCode Initialize(uint32_t bufferSize, bool compress, int32_t level) noexcept;

  [[nodiscard]] ResultCode Compress() noexcept;
  // RYL_OK while more output space is needed, RYL_S_END_OF_DATA once the
  // frame is complete (and on every later call).
  [[nodiscard]] ResultCode CompressFinish() noexcept;
  // Damaged data is RYL_E_BAD_FORMAT, a frame whose window passes the limit
  // RYL_E_OUT_OF_MEMORY. The data may hold several frames; after each one
  // the context may end if its source does.
  [[nodiscard]] ResultCode Decompress() noexcept;

 private:
  void End() noexcept;

  void* compressor_ = nullptr;    // ZSTD_CCtx
  void* decompressor_ = nullptr;  // ZSTD_DCtx
};

}  // namespace ryl::sys
