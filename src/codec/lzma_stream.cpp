#include "codec/lzma_stream.h"

namespace ryl::codec {

ResultCode LzmaStream::Initialize(SeekableStream* source, sys::RylLzmaFormat format, uint64_t uncompressedSize,
                                  bool endMarker, uint32_t bufferSize) noexcept {
  return InitializeCodec(source, false, bufferSize, [&](sys::RylLzmaContext& context) {
    return context.Initialize(bufferSize, format, uncompressedSize, endMarker);
  });
}

}  // namespace ryl::codec
