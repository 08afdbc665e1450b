// The stream form of a security descriptor, little-endian:
//   parts   32 bits  the parts present
//   length  32 bits  the number of bytes that follow
//   block   length bytes: word 0 is reserved (written as 0, ignored on
//           reading); word 4 is the offset of a descriptor header inside
//           the block; in that header the owner, group, system-list and
//           discretionary-list fields (header offsets 4, 8, 12, 16) are
//           offsets from the start of the block, 0 for an absent part.
// The header is the absolute form: its fields are pointers in memory,
// turned into offsets when written and back into pointers when read.
#pragma once

#include <cstdint>

#include "ryl/streams.h"
#include "sys/heap_bytes.h"
#include "sys/native_api.h"
#include "sys/security_descriptor_check.h"

namespace ryl::sys {

// Where the writer places the header inside the block.
inline constexpr uint32_t kStoredHeaderOffset = 8;
// The largest block a reader accepts: the header offset and a gap-free
// descriptor of the largest size. Anything larger is refused before any
// memory is set aside for it.
inline constexpr uint32_t kLargestStoredBlock = kStoredHeaderOffset + kLargestCompactDescriptorSize;

// Writes parts and the block made from a well-formed self-relative
// descriptor of `length` bytes with one Write of the stream.
[[nodiscard]] ResultCode WriteStoredDescriptor(SeekableStream* writer, uint32_t parts, const void* selfRelative,
                                               uint32_t length) noexcept;

struct StoredDescriptor {
  uint32_t parts = 0;
  HeapBytes block;
};

// Reads one stored descriptor and checks its block. A short stream gives
// RYL_E_END_OF_DATA (or the stream's own failure); a length beyond
// kLargestStoredBlock or a malformed block gives RYL_E_INVALID_ARG. *out is
// written only on success.
[[nodiscard]] ResultCode ReadStoredDescriptor(SeekableStream* reader, StoredDescriptor* out) noexcept;

// The absolute descriptor described by a block that ReadStoredDescriptor
// accepted; its pointers lead into the block, which must outlive it.
SECURITY_DESCRIPTOR MakeAbsoluteView(const HeapBytes& block) noexcept;

}  // namespace ryl::sys
