#include "codec/zstd_stream.h"

namespace ryl::codec {

ResultCode ZstdStream::Initialize(SeekableStream* target, bool compress, uint32_t bufferSize, int32_t level,
                                  uint64_t sizeHint) noexcept {
  return InitializeCodec(target, compress, bufferSize, [&](sys::RylZstdContext& context) {
    return context.Initialize(bufferSize, compress, level, sizeHint);
  });
}

}  // namespace ryl::codec
