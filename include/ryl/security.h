// Security descriptors of files and registry keys, held in a security
// object. Parts are the native SECURITY_INFORMATION bits used here.
#pragma once

#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

struct SeekableStream;

enum RylSecurityParts : uint32_t {
  RYL_SECURITY_OWNER = 0x01,
  RYL_SECURITY_GROUP = 0x02,
  RYL_SECURITY_DACL = 0x04,
  RYL_SECURITY_SACL = 0x08,
  RYL_SECURITY_LABEL = 0x10,
};

// A security descriptor with the parts it holds. Stored form (slots 8 and 9,
// little-endian): parts (32 bits), length (32 bits), then the descriptor block
// whose pointers are turned into offsets from the block's start.
RYL_INTERFACE RylSecurityObject {
  // A new object holding the same descriptor and parts; the caller destroys it.
  virtual ResultCode RYL_THISCALL Clone(RylSecurityObject** outClone) = 0;
  virtual void RYL_THISCALL Destroy() = 0;
  // Destroys *object when it is not null and sets it to null.
  virtual void RYL_THISCALL DestroyThrough(RylSecurityObject** object) = 0;
  virtual ResultCode RYL_THISCALL Reserved3() = 0;  // always 0
  virtual void RYL_THISCALL Reserved4() = 0;
  // The self-relative descriptor, valid until the object changes; null when
  // the object holds none.
  virtual const void* RYL_THISCALL GetSecurityDescriptor() = 0;
  virtual uint32_t RYL_THISCALL GetPartsPresent() = 0;
  virtual ResultCode RYL_THISCALL SetFromSelfRelative(const void* descriptor, uint32_t parts) = 0;
  virtual ResultCode RYL_THISCALL WriteToStream(SeekableStream* writer) = 0;
  virtual ResultCode RYL_THISCALL ReadFromStream(SeekableStream* reader) = 0;
};
