#include "sys/security_descriptor_check.h"

#include <cstring>

namespace ryl::sys {
namespace {

constexpr uint8_t kSidRevision = 1;
constexpr uint8_t kLargestSubAuthorityCount = 15;
constexpr uint8_t kLowestAclRevision = 2;
constexpr uint8_t kHighestAclRevision = 4;
constexpr uint32_t kAclHeaderSize = 8;
constexpr uint32_t kAceHeaderSize = 4;
constexpr uint8_t kDescriptorRevision = 1;

uint16_t Read16(const uint8_t* p) noexcept {
  uint16_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

uint32_t Read32(const uint8_t* p) noexcept {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// [offset, offset + size) inside [0, length), without overflow.
bool Fits(uint32_t length, uint32_t offset, uint32_t size) noexcept {
  return offset <= length && size <= length - offset;
}

bool IsObjectAceType(uint8_t type) noexcept {
  switch (type) {
    case 0x05:  // allowed, object
    case 0x06:  // denied, object
    case 0x07:  // audit, object
    case 0x08:  // alarm, object
    case 0x0B:  // allowed callback, object
    case 0x0C:  // denied callback, object
    case 0x0F:  // audit callback, object
    case 0x10:  // alarm callback, object
      return true;
    default:
      return false;
  }
}

// Entry types whose identifier follows the header and the access mask.
bool IsPlainSidAceType(uint8_t type) noexcept {
  switch (type) {
    case 0x00:  // allowed
    case 0x01:  // denied
    case 0x02:  // audit
    case 0x03:  // alarm
    case 0x09:  // allowed callback
    case 0x0A:  // denied callback
    case 0x0D:  // audit callback
    case 0x0E:  // alarm callback
    case 0x11:  // mandatory label
    case 0x12:  // resource attribute
    case 0x13:  // scoped policy
    case 0x14:  // process trust label
    case 0x15:  // access filter
      return true;
    default:
      return false;
  }
}

// The identifier inside one entry of aceSize bytes at ace.
bool IsAceSidInside(const uint8_t* ace, uint32_t aceSize) noexcept {
  const uint8_t type = ace[0];
  uint32_t sidOffset;
  if (IsPlainSidAceType(type)) {
    sidOffset = kAceHeaderSize + 4;
  } else if (IsObjectAceType(type)) {
    if (aceSize < kAceHeaderSize + 8) return false;
    const uint32_t flags = Read32(ace + kAceHeaderSize + 4);
    sidOffset = kAceHeaderSize + 8;
    if ((flags & 1) != 0) sidOffset += 16;  // object type
    if ((flags & 2) != 0) sidOffset += 16;  // inherited object type
  } else {
    return true;  // an entry we do not interpret carries what it likes
  }
  return IsWellFormedSid(ace, aceSize, sidOffset);
}

// The owner, group and list fields of a header, relative to base. Parts
// must start at or after minimumOffset and must not overlap
// [headerStart, headerStart + header size) inside base.
bool ArePartsWellFormed(const uint8_t* base, uint32_t length, uint32_t headerStart, uint32_t minimumOffset) noexcept {
  const uint8_t* header = base + headerStart;
  const uint16_t control = Read16(header + 2);
  const uint32_t headerEnd = headerStart + kSecurityDescriptorHeaderSize;
  auto outsideHeader = [&](uint32_t offset, uint32_t size) {
    return offset >= minimumOffset && (offset >= headerEnd || offset + size <= headerStart);
  };
  auto sidOk = [&](uint32_t offset) {
    uint32_t size = 0;
    return offset == 0 || (offset >= minimumOffset && IsWellFormedSid(base, length, offset, &size) &&
                           outsideHeader(offset, size));
  };
  auto aclOk = [&](bool present, uint32_t offset) {
    uint32_t size = 0;
    return !present || offset == 0 ||
           (offset >= minimumOffset && IsWellFormedAcl(base, length, offset, &size) && outsideHeader(offset, size));
  };
  return sidOk(Read32(header + 4)) && sidOk(Read32(header + 8)) &&
         aclOk((control & kControlSaclPresent) != 0, Read32(header + 12)) &&
         aclOk((control & kControlDaclPresent) != 0, Read32(header + 16));
}

}  // namespace

bool IsWellFormedSid(const uint8_t* base, uint32_t length, uint32_t offset, uint32_t* outSize) noexcept {
  if (base == nullptr || !Fits(length, offset, 8)) return false;
  const uint8_t* sid = base + offset;
  if (sid[0] != kSidRevision || sid[1] > kLargestSubAuthorityCount) return false;
  const uint32_t size = 8 + 4u * sid[1];
  if (!Fits(length, offset, size)) return false;
  if (outSize != nullptr) *outSize = size;
  return true;
}

bool IsWellFormedAcl(const uint8_t* base, uint32_t length, uint32_t offset, uint32_t* outSize) noexcept {
  if (base == nullptr || !Fits(length, offset, kAclHeaderSize)) return false;
  const uint8_t* acl = base + offset;
  if (acl[0] < kLowestAclRevision || acl[0] > kHighestAclRevision) return false;
  const uint32_t aclSize = Read16(acl + 2);
  if (aclSize < kAclHeaderSize || aclSize % 4 != 0 || !Fits(length, offset, aclSize)) return false;
  const uint32_t aceCount = Read16(acl + 4);
  uint32_t position = kAclHeaderSize;
  for (uint32_t i = 0; i < aceCount; ++i) {
    if (!Fits(aclSize, position, kAceHeaderSize)) return false;
    const uint32_t aceSize = Read16(acl + position + 2);
    if (aceSize < kAceHeaderSize || aceSize % 4 != 0 || !Fits(aclSize, position, aceSize)) return false;
    if (!IsAceSidInside(acl + position, aceSize)) return false;
    position += aceSize;
  }
  if (outSize != nullptr) *outSize = aclSize;
  return true;
}

bool IsWellFormedSelfRelativeDescriptor(const void* descriptor, uint32_t length) noexcept {
  const auto* base = static_cast<const uint8_t*>(descriptor);
  if (base == nullptr || length < kSecurityDescriptorHeaderSize) return false;
  if (base[0] != kDescriptorRevision) return false;
  if ((Read16(base + 2) & kControlSelfRelative) == 0) return false;
  return ArePartsWellFormed(base, length, 0, kSecurityDescriptorHeaderSize);
}

bool IsWellFormedDescriptorBlock(const void* block, uint32_t length) noexcept {
  const auto* base = static_cast<const uint8_t*>(block);
  if (base == nullptr || length < 8) return false;
  const uint32_t headerStart = Read32(base + 4);
  if (headerStart < 8 || !Fits(length, headerStart, kSecurityDescriptorHeaderSize)) return false;
  if (base[headerStart] != kDescriptorRevision) return false;
  return ArePartsWellFormed(base, length, headerStart, 8);
}

}  // namespace ryl::sys
