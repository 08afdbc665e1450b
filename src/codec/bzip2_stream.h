// bzip2 data (ZIP method 12) as a stream, for the ZIP reader and writer.
#pragma once

#include <cstdint>

#include "codec/codec_stream.h"
#include "sys/codec/bz2_context.h"

namespace ryl::codec {

class Bzip2Stream final : public CodecStream<sys::RylBZ2Context, Bzip2Stream> {
 public:
  // The buffer size the ZIP writer uses.
  static constexpr uint32_t kArchiveBufferSize = 4096;

  Bzip2Stream() noexcept = default;
  ~Bzip2Stream() { Shutdown(); }

  // Reads compressed data from the target (compress false) or writes it to
  // the target (compress true); the target is not owned. level is the block
  // size in units of 100 000 bytes, 1 to 9, 0 for 9. RYL_E_INVALID_ARG when
  // the stream is already initialised, the target is null or the stream
  // itself, or bufferSize is 0; a codec failure is passed through.
  [[nodiscard]] ResultCode Initialize(SeekableStream* target, bool compress, uint32_t bufferSize,
                                      uint8_t level) noexcept;
};

}  // namespace ryl::codec
