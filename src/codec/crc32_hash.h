// CRC-32 ("CRC32") as a HashAlgorithm: the digest is the value a ZIP CRC
// field holds, most significant byte first.
#pragma once

#include "codec/hash_algorithm.h"
#include "sys/codec/mini_hash_crc32.h"

namespace ryl::codec {

class Crc32Hash final : public HashAlgorithm {
 public:
  static constexpr uint32_t kDigestSize = 4;

  Crc32Hash() noexcept = default;

  void RYL_THISCALL Initialize() override { crc_.Initialize(); }
  void RYL_THISCALL Reset() override { crc_.Reset(0); }
  // Spelled unit by unit: RylChar16 is wchar_t on Windows and char16_t in the
  // portable build, and no one literal prefix suits both.
  const RylChar16* RYL_THISCALL GetName() override {
    static constexpr RylChar16 kName[] = {'C', 'R', 'C', '3', '2', 0};
    return kName;
  }
  uint32_t RYL_THISCALL GetDigestSize() override { return kDigestSize; }
  void RYL_THISCALL Dispose() override {}
  void RYL_THISCALL Add(const uint8_t* data, uint32_t length) override { crc_.Add(data, length); }
  ResultCode RYL_THISCALL GetDigest(uint8_t* out, uint32_t outLength) override;

  uint32_t value() const noexcept { return crc_.Get(); }

 private:
  sys::RylMiniHashCrc32 crc_;
};

}  // namespace ryl::codec
