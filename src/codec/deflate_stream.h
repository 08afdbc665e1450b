// Deflate data as ZIP stores it (method 8: bare deflate, no wrapper), as a
// stream. The ZIP code stacks it on its own streams; hosts get one over a
// stream of theirs through the archive factory.
#pragma once

#include <cstdint>
#include <optional>

#include "codec/codec_stream.h"
#include "streams/host_stream_adapter.h"
#include "sys/codec/deflate_context.h"

namespace ryl::codec {

class DeflateStream final : public CodecStream<sys::RylDeflateContext, DeflateStream> {
 public:
  // The buffer size the ZIP writer uses.
  static constexpr uint32_t kArchiveBufferSize = 32768;

  DeflateStream() noexcept = default;
  ~DeflateStream() { Shutdown(); }

  // Reads compressed data from the target (compress false) or writes it to
  // the target (compress true); the target is not owned. level is -1 for the
  // codec's default or 0 to 9. RYL_E_INVALID_ARG when the stream is already
  // initialised, the target is null or the stream itself, or bufferSize is
  // 0; a codec failure is passed through.
  [[nodiscard]] ResultCode Initialize(SeekableStream* target, bool compress, int32_t level,
                                      uint32_t bufferSize) noexcept;

  // The same over a host's stream: reads go to its slot 5, writes to its
  // slot 7, through an adapter the stream embeds.
  [[nodiscard]] ResultCode InitializeOnHost(HostStream* host, bool compress, int32_t level,
                                            uint32_t bufferSize) noexcept;

 private:
  std::optional<streams::HostStreamAdapter> hostAdapter_;
};

}  // namespace ryl::codec
