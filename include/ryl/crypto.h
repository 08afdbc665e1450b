// Cryptography: Blowfish cipher objects (RootFactory::CreateBlowfishEncryptor
// and CreateBlowfishDecryptor).
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

#if defined(__cplusplus)

// Blowfish over whole 8-byte blocks, each on its own (no chaining), fixed at
// creation to encrypt or to decrypt. A block's halves are little-endian
// words: the published test vectors read each half big-endian, so their
// bytes match this object's with each half's four bytes reversed.
RYL_INTERFACE RylBlowfishCipher {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // length a multiple of 8; the output (bytes) is resized to length.
  virtual ResultCode RYL_THISCALL Process(OutputBuffer* output, const uint8_t* input, uint32_t length) = 0;
  // A last block shorter than 8 bytes, padded with zero bytes; 0 does nothing.
  virtual ResultCode RYL_THISCALL ProcessFinal(OutputBuffer* output, const uint8_t* input, uint32_t length) = 0;
  virtual uint8_t RYL_THISCALL IsReady() = 0;
  virtual uint32_t RYL_THISCALL GetBlockSize() = 0;
};

#endif  // __cplusplus
