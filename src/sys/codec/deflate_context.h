// Deflate compression and decompression over zlib, the codec behind ZIP
// method 8 and the library's deflate streams.
#pragma once

#include <cstdint>

#include "sys/codec/codec_context_base.h"

namespace ryl::sys {

class RylDeflateContext final : public RylCodecContextBase {
 public:
  RylDeflateContext() noexcept = default;
  ~RylDeflateContext();

  // level: -1 (zlib's default, 6) or 0 to 9; anything else is
  // RYL_E_INVALID_ARG. raw: true for bare deflate data as ZIP stores it,
  // false for data in the zlib wrapper (header and Adler-32 trailer).
  // A context is initialised once; a second call is RYL_E_INVALID_STATE.
  [[nodiscard]] ResultCode Initialize(uint32_t bufferSize, bool compress, int32_t level, bool raw) noexcept;

  // Consumes input and produces output as far as the counts allow.
  [[nodiscard]] ResultCode Compress() noexcept;
  // Produces the rest of the compressed data: RYL_OK while more output
  // space is needed, RYL_S_END_OF_DATA once the end marker is out (and on
  // every later call).
  [[nodiscard]] ResultCode CompressFinish() noexcept;
  // Corrupt input is RYL_E_BAD_FORMAT. Sets the end-of-stream byte when the
  // end marker has been consumed.
  [[nodiscard]] ResultCode Decompress() noexcept;

 private:
  void End() noexcept;

  void* stream_ = nullptr;  // zlib's stream record, allocated by Initialize
};

}  // namespace ryl::sys
