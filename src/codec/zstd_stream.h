// zstd data (ZIP method 93) as a stream, for the ZIP reader and writer.
#pragma once

#include <cstdint>

#include "codec/codec_stream.h"
#include "sys/codec/zstd_context.h"

namespace ryl::codec {

class ZstdStream final : public CodecStream<sys::RylZstdContext, ZstdStream> {
 public:
  // The buffer size the ZIP writer uses: libzstd's own recommendation for
  // its output (one block and a little).
  static constexpr uint32_t kArchiveBufferSize = 131072 + 512;

  ZstdStream() noexcept = default;
  ~ZstdStream() { Shutdown(); }

  // Reads compressed data from the target (compress false) or writes it to
  // the target (compress true); the target is not owned. level as the
  // context takes it when compressing. RYL_E_INVALID_ARG when already
  // initialised, for a null target or the stream itself, or a bufferSize
  // of 0; a codec failure is passed through. sizeHint as the context takes
  // it.
  [[nodiscard]] ResultCode Initialize(SeekableStream* target, bool compress, uint32_t bufferSize, int32_t level,
                                      uint64_t sizeHint = UINT64_MAX) noexcept;
};

}  // namespace ryl::codec
