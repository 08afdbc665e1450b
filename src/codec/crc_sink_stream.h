// A write-only stream that feeds every byte written into a CRC-32; the
// archive writer reads the sum once an entry's last byte has passed.
#pragma once

#include "ryl/streams.h"
#include "streams/sequential_stream.h"
#include "sys/codec/mini_hash_crc32.h"

namespace ryl::codec {

class CrcSinkStream final : public streams::SequentialStream<CrcSinkStream> {
 public:

  CrcSinkStream() noexcept = default;

  const sys::RylMiniHashCrc32& crc() const noexcept { return crc_; }
  sys::RylMiniHashCrc32& crc() noexcept { return crc_; }

  // There is nothing to read back: RYL_E_NOT_IMPLEMENTED.
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  // Never fails.
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;

  void RYL_THISCALL Dispose() override {}
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

 private:
  sys::RylMiniHashCrc32 crc_;
};

}  // namespace ryl::codec
