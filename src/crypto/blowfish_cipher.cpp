#include "crypto/blowfish_cipher.h"

#include <cstring>
#include <vector>

#include "core/delivery.h"
#include "core/output_writer.h"
#include "core/query.h"
#include "sys/heap.h"

namespace ryl::crypto {
namespace {

inline uint32_t LoadLittle(const uint8_t* at) noexcept {
  return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) | (uint32_t{at[3]} << 24);
}

inline void StoreLittle(uint8_t* at, uint32_t value) noexcept {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

void FreeSchedule(BlowfishSchedule* schedule) noexcept {
  if (schedule == nullptr) return;
  sys::DefaultHeapFree(schedule->p);
  sys::DefaultHeapFree(schedule->s);
  sys::DefaultHeapFree(schedule);
}

}  // namespace

BlowfishCipher::~BlowfishCipher() { FreeSchedule(schedule_); }

ResultCode BlowfishCipher::Initialize(const uint8_t* key, uint32_t length, bool encrypt) noexcept {
  if (length < 4 || length > 56) return RYL_E_UNSUPPORTED_VERSION;
  if (key == nullptr) return RYL_E_INVALID_ARG;
  auto* schedule = static_cast<BlowfishSchedule*>(sys::DefaultHeapAllocate(sizeof(BlowfishSchedule)));
  if (schedule == nullptr) return RYL_E_OUT_OF_MEMORY;
  schedule->p = static_cast<uint32_t*>(sys::DefaultHeapAllocate(18 * sizeof(uint32_t)));
  schedule->s = static_cast<uint32_t*>(sys::DefaultHeapAllocate(4 * 256 * sizeof(uint32_t)));
  if (schedule->p == nullptr || schedule->s == nullptr) {
    FreeSchedule(schedule);
    return RYL_E_OUT_OF_MEMORY;
  }
  ExpandBlowfishKey(*schedule, key, length);
  schedule_ = schedule;
  encrypt_ = encrypt ? 1 : 0;
  return RYL_OK;
}

void* RYL_THISCALL BlowfishCipher::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylBlowfishCipher*>(this), RYL_TYPE_BLOWFISH_CIPHER, kHighestVersion, type,
                           version, outHighest);
}

void RYL_THISCALL BlowfishCipher::Destroy(const AllocatorRecord* allocator) {
  const AllocatorRecord record = allocator != nullptr ? *allocator : core::kDefaultHeap;
  core::DestroyPlainObject(this, &record);
}

void BlowfishCipher::TransformBlocks(uint8_t* out, const uint8_t* in, uint32_t length) const noexcept {
  for (uint32_t at = 0; at < length; at += kBlockSize) {
    uint32_t left = LoadLittle(in + at);
    uint32_t right = LoadLittle(in + at + 4);
    if (encrypt_ != 0) {
      EncryptBlowfishBlock(*schedule_, left, right);
    } else {
      DecryptBlowfishBlock(*schedule_, left, right);
    }
    StoreLittle(out + at, left);
    StoreLittle(out + at + 4, right);
  }
}

ResultCode RYL_THISCALL BlowfishCipher::Process(OutputBuffer* output, const uint8_t* input, uint32_t length) {
  if (length % kBlockSize != 0 || output == nullptr || (input == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  // Input inside the output's own storage (in place, or a part of it) would
  // be lost if Resize moved the storage, which a host's Resize may do even
  // for the same length: it is taken aside first.
  const auto* storage = static_cast<const uint8_t*>(output->view.data);
  const bool overlaps = length != 0 && storage != nullptr && input < storage + output->view.length &&
                        storage < input + length;
  std::vector<uint8_t> copy;
  if (overlaps) {
    try {
      copy.assign(input, input + length);
    } catch (...) {
      return RYL_E_OUT_OF_MEMORY;
    }
    input = copy.data();
  }
  const ResultCode resized = core::ResizeOutput(output, length);
  if (resized < 0) return resized;
  if (length != 0) TransformBlocks(static_cast<uint8_t*>(output->view.data), input, length);
  return RYL_OK;
}

ResultCode RYL_THISCALL BlowfishCipher::ProcessFinal(OutputBuffer* output, const uint8_t* input, uint32_t length) {
  if (length >= kBlockSize || (input == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  if (length == 0) return RYL_OK;
  if (output == nullptr) return RYL_E_INVALID_ARG;
  uint8_t block[kBlockSize] = {};
  std::memcpy(block, input, length);
  const ResultCode resized = core::ResizeOutput(output, kBlockSize);
  if (resized < 0) return resized;
  TransformBlocks(static_cast<uint8_t*>(output->view.data), block, kBlockSize);
  return RYL_OK;
}

ResultCode CreateBlowfishCipher(const ObjectReceiver* receiver, const uint8_t* key, uint32_t length,
                                bool encrypt) noexcept {
  return core::CreateAndDeliver<BlowfishCipher>(receiver, core::Placement::kReceiverAllocator,
                                                [&](BlowfishCipher& cipher) {
                                                  return cipher.Initialize(key, length, encrypt);
                                                });
}

}  // namespace ryl::crypto
