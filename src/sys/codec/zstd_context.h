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
  // What the compressor may take, as powers of two: its window (16 MiB) and
  // its match-finder tables. The top levels ask for up to 768 MiB for data
  // of unknown size, which a 32-bit process rarely has in one piece; with
  // these bounds the strongest level needs a little over 100 MiB, and only
  // data with matches more than 16 MiB apart compresses less.
  static constexpr uint32_t kCompressWindowLogMax = 24;
  static constexpr uint32_t kCompressChainLogMax = 24;
  static constexpr uint32_t kCompressHashLogMax = 23;

  RylZstdContext() noexcept = default;
  ~RylZstdContext();

  // level: 1 to kMaxLevel when compressing, anything else is
  // RYL_E_INVALID_ARG; ignored when decompressing. sizeHint: how much data
  // is expected, UINT64_MAX when unknown; libzstd then sizes its tables for
  // it (small entries need little memory), but more or less data is still
  // compressed correctly. A context is initialised once; a second call is
  // RYL_E_INVALID_STATE.
  [[nodiscard]] ResultCode Initialize(uint32_t bufferSize, bool compress, int32_t level,
                                      uint64_t sizeHint = UINT64_MAX) noexcept;

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
