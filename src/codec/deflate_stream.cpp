#include "codec/deflate_stream.h"

namespace ryl::codec {

ResultCode DeflateStream::Initialize(SeekableStream* target, bool compress, int32_t level,
                                     uint32_t bufferSize) noexcept {
  return InitializeCodec(target, compress, bufferSize, [&](sys::RylDeflateContext& context) {
    return context.Initialize(bufferSize, compress, level, true);
  });
}

ResultCode DeflateStream::InitializeOnHost(HostStream* host, bool compress, int32_t level,
                                           uint32_t bufferSize) noexcept {
  if (host == nullptr || initialized()) return RYL_E_INVALID_ARG;
  hostAdapter_.emplace(host);
  const ResultCode rc = Initialize(&*hostAdapter_, compress, level, bufferSize);
  if (rc < 0) hostAdapter_.reset();
  return rc;
}

}  // namespace ryl::codec
