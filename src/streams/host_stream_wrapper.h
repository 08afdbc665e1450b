// The public face of one of the library's streams, handed out to a host: it
// owns its inner stream, and Release frees both.
#pragma once

#include "core/object_ptr.h"
#include "ryl/streams.h"
#include "streams/owned_stream.h"

namespace ryl::streams {

class HostStreamWrapper final : public HostStream {
 public:
  explicit HostStreamWrapper(OwnedStream inner) noexcept : inner_(std::move(inner)) {}
  HostStreamWrapper(const HostStreamWrapper&) = delete;
  HostStreamWrapper& operator=(const HostStreamWrapper&) = delete;

  // Null when memory ran out; the stream is then destroyed.
  [[nodiscard]] static HostStream* CreateOwning(SeekableStream* inner) noexcept;

  SeekableStream* inner() const noexcept { return inner_.get(); }

  void RYL_THISCALL Release() override;
  uint8_t RYL_THISCALL IsOpen() override { return inner_ ? 1 : 0; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;
  uint8_t RYL_THISCALL CanSaveState(uint32_t format) override;
  ResultCode RYL_THISCALL SaveState(HostStream* writer, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL LoadState(HostStream* reader, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, HostMappedView** outView,
                              uint8_t readOnly) override;
  void RYL_THISCALL Dispose() override;

 private:
  [[nodiscard]] PersistentStream* PersistentPart() noexcept;

  OwnedStream inner_;
};

}  // namespace ryl::streams
