// A write-only stream that feeds every byte written into a CRC-32; the
// archive writer reads the sum once an entry's last byte has passed.
#pragma once

#include "core/query.h"
#include "ryl/streams.h"
#include "sys/codec/mini_hash_crc32.h"

namespace ryl::codec {

class CrcSinkStream final : public SeekableStream {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_SEEKABLE_STREAM;
  static constexpr uint32_t kHighestVersion = 1;

  CrcSinkStream() noexcept = default;

  const sys::RylMiniHashCrc32& crc() const noexcept { return crc_; }
  sys::RylMiniHashCrc32& crc() noexcept { return crc_; }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<SeekableStream*>(this), kTypeId, kHighestVersion, type, version,
                             outHighest);
  }
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  // There is nothing to read back: RYL_E_NOT_IMPLEMENTED.
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  // Never fails.
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;

  // A sink only streams; the positioned operations are not offered.
  ResultCode RYL_THISCALL Tell(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL IsAsynchronous() override { return 0; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

 private:
  sys::RylMiniHashCrc32 crc_;
};

}  // namespace ryl::codec
