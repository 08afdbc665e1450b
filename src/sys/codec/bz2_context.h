// bzip2 compression and decompression over libbz2, the codec behind ZIP
// method 12.
#pragma once

#include <cstdint>

#include "sys/codec/codec_context_base.h"

namespace ryl::sys {

class RylBZ2Context final : public RylCodecContextBase {
 public:
  RylBZ2Context() noexcept = default;
  ~RylBZ2Context();

  // level is the block size in units of 100 000 bytes, 1 to 9; 0 means 9.
  // Anything above 9 is RYL_E_INVALID_ARG. A context is initialised once; a
  // second call is RYL_E_INVALID_STATE.
  [[nodiscard]] ResultCode Initialize(uint32_t bufferSize, bool compress, uint8_t level) noexcept;

  [[nodiscard]] ResultCode Compress() noexcept;
  // RYL_OK while more output space is needed, RYL_S_END_OF_DATA once the
  // end-of-stream marker is out (and on every later call).
  [[nodiscard]] ResultCode CompressFinish() noexcept;
  // Corrupt input is RYL_E_BAD_FORMAT. Sets the end-of-stream byte when the
  // stream's end marker has been consumed.
  [[nodiscard]] ResultCode Decompress() noexcept;

 private:
  void End() noexcept;

  void* stream_ = nullptr;  // libbz2's stream record, allocated by Initialize
};

}  // namespace ryl::sys
