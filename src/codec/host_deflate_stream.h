// The public face of a DeflateStream over a host's stream, as the archive
// factory hands it out. It owns the inner stream and frees itself on Release.
#pragma once

#include <cstdint>

#include "codec/deflate_stream.h"
#include "ryl/archive_factory.h"

namespace ryl::codec {

class HostDeflateStreamImpl final : public HostDeflateStream {
 public:
  HostDeflateStreamImpl(DeflateStream* inner, bool ownsInner) noexcept : inner_(inner), ownsInner_(ownsInner) {}
  ~HostDeflateStreamImpl() { Dispose(); }
  HostDeflateStreamImpl(const HostDeflateStreamImpl&) = delete;
  HostDeflateStreamImpl& operator=(const HostDeflateStreamImpl&) = delete;

  // Builds the inner stream over host and the public object around it. On
  // any failure everything built is freed and *out is left alone.
  [[nodiscard]] static ResultCode Create(HostStream* host, bool compress, int32_t level, uint32_t bufferSize,
                                         HostDeflateStream** out) noexcept;

  void RYL_THISCALL Release() override;
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_UNSUPPORTED_VERSION; }
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_UNSUPPORTED_VERSION;
  }
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t*) override { return RYL_E_UNSUPPORTED_VERSION; }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_UNSUPPORTED_VERSION; }
  ResultCode RYL_THISCALL GetSize(uint64_t*) override { return RYL_E_UNSUPPORTED_VERSION; }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_UNSUPPORTED_VERSION; }
  // The inner stream has no persistent part to save.
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_UNSUPPORTED_VERSION; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_UNSUPPORTED_VERSION; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_UNSUPPORTED_VERSION;
  }
  ResultCode RYL_THISCALL Finish() override;
  void RYL_THISCALL Dispose() override;

 private:
  DeflateStream* inner_;
  bool ownsInner_;
};

}  // namespace ryl::codec
