// Structural checks of security descriptors that arrive as bytes: from the
// system, from a host, or from a stored block read back from a stream. They
// read nothing outside the bytes they are given, so a descriptor whose
// offsets point elsewhere is refused before anything follows those offsets.
// The system's own validity routine cannot serve: what it returns differs
// between systems (a boolean on Windows, a status on Wine).
#pragma once

#include <cstdint>

namespace ryl::sys {

inline constexpr uint32_t kSecurityDescriptorHeaderSize = 20;
inline constexpr uint32_t kLargestSidSize = 8 + 15 * 4;
inline constexpr uint32_t kLargestAclSize = 0xFFFC;
// The largest a descriptor can be whose parts follow one another without
// gaps: the header, two of the largest identifiers and two of the largest
// access lists. No descriptor the system produces is larger.
inline constexpr uint32_t kLargestCompactDescriptorSize =
    kSecurityDescriptorHeaderSize + 2 * kLargestSidSize + 2 * kLargestAclSize;

// Control bits the checks and the descriptor classes rely on.
inline constexpr uint16_t kControlDaclPresent = 0x0004;
inline constexpr uint16_t kControlSaclPresent = 0x0010;
inline constexpr uint16_t kControlSelfRelative = 0x8000;

// A security identifier at base + offset lying wholly inside [base, base +
// length): revision 1, at most 15 sub-authorities. On success *outSize (when
// given) is its size in bytes.
bool IsWellFormedSid(const uint8_t* base, uint32_t length, uint32_t offset, uint32_t* outSize = nullptr) noexcept;

// An access list at base + offset lying wholly inside the bytes: revision 2
// to 4, a size that is a multiple of 4 and covers its header, every entry
// inside the list with a size that is a non-zero multiple of 4, and the
// identifier of every entry type that carries one inside its entry.
bool IsWellFormedAcl(const uint8_t* base, uint32_t length, uint32_t offset, uint32_t* outSize = nullptr) noexcept;

// A self-relative descriptor held in `length` bytes: revision 1, the
// self-relative control bit, and each part it has (the lists only when
// their present bit is set) behind the header and inside the bytes.
bool IsWellFormedSelfRelativeDescriptor(const void* descriptor, uint32_t length) noexcept;

// The stored block of the stream form: the 32-bit word at offset 4 gives
// the offset of a descriptor header inside the block, whose owner, group,
// system-list and discretionary-list fields are offsets from the start of
// the block (0 for none). The header must have revision 1 and every part
// must lie inside the block without overlapping the first eight bytes or
// the header.
bool IsWellFormedDescriptorBlock(const void* block, uint32_t length) noexcept;

}  // namespace ryl::sys
