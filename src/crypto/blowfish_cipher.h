// The Blowfish cipher object (type 10): a key schedule on the default heap,
// fixed at creation to encrypt or to decrypt whole 8-byte blocks.
#pragma once

#include <cstdint>

#include "crypto/blowfish_schedule.h"
#include "ryl/crypto.h"

namespace ryl::crypto {

class BlowfishCipher final : public RylBlowfishCipher {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_BLOWFISH_CIPHER;
  static constexpr uint32_t kBlockSize = 8;

  BlowfishCipher() noexcept = default;
  ~BlowfishCipher();

  // RYL_E_UNSUPPORTED_VERSION for a key shorter than 4 or longer than 56
  // bytes; RYL_E_OUT_OF_MEMORY when the schedule cannot be had.
  [[nodiscard]] ResultCode Initialize(const uint8_t* key, uint32_t length, bool encrypt) noexcept;
  void* DeliveredInterface() noexcept { return static_cast<RylBlowfishCipher*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL Process(OutputBuffer* output, const uint8_t* input, uint32_t length) override;
  ResultCode RYL_THISCALL ProcessFinal(OutputBuffer* output, const uint8_t* input, uint32_t length) override;
  uint8_t RYL_THISCALL IsReady() override { return 1; }
  uint32_t RYL_THISCALL GetBlockSize() override { return kBlockSize; }

 private:
  void TransformBlocks(uint8_t* out, const uint8_t* in, uint32_t length) const noexcept;

  BlowfishSchedule* schedule_ = nullptr;
  uint8_t encrypt_ = 0;
};

[[nodiscard]] ResultCode CreateBlowfishCipher(const ObjectReceiver* receiver, const uint8_t* key, uint32_t length,
                                              bool encrypt) noexcept;

}  // namespace ryl::crypto
