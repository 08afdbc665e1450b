// LZMA (ZIP method 14) and xz (method 95) data as a decompressing stream,
// for the ZIP reader.
#pragma once

#include <cstdint>

#include "codec/codec_stream.h"
#include "sys/codec/lzma_context.h"

namespace ryl::codec {

class LzmaStream final : public CodecStream<sys::RylLzmaContext, LzmaStream> {
 public:
  LzmaStream() noexcept = default;
  ~LzmaStream() { Shutdown(); }

  // Reads compressed data from source (not owned). uncompressedSize and
  // endMarker as the context takes them. RYL_E_INVALID_ARG when already
  // initialised, for a null source or the stream itself, or a bufferSize
  // of 0.
  [[nodiscard]] ResultCode Initialize(SeekableStream* source, sys::RylLzmaFormat format, uint64_t uncompressedSize,
                                      bool endMarker, uint32_t bufferSize) noexcept;
};

}  // namespace ryl::codec
