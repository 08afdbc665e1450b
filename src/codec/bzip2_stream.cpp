#include "codec/bzip2_stream.h"

namespace ryl::codec {

ResultCode Bzip2Stream::Initialize(SeekableStream* target, bool compress, uint32_t bufferSize,
                                   uint8_t level) noexcept {
  return InitializeCodec(target, compress, bufferSize, [&](sys::RylBZ2Context& context) {
    return context.Initialize(bufferSize, compress, level);
  });
}

}  // namespace ryl::codec
