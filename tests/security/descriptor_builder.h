// Security descriptors built byte by byte, independent of the code under
// test, so that tests can make exactly the well-formed or broken layouts
// they need.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace ryl::test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& bytes, size_t at, uint16_t value) { std::memcpy(bytes.data() + at, &value, 2); }
inline void Put32(Bytes& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }
inline uint16_t Get16(const uint8_t* p) {
  uint16_t value;
  std::memcpy(&value, p, 2);
  return value;
}
inline uint32_t Get32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

inline Bytes MakeSid(uint8_t authority, std::initializer_list<uint32_t> subAuthorities) {
  Bytes sid(8 + 4 * subAuthorities.size(), 0);
  sid[0] = 1;
  sid[1] = static_cast<uint8_t>(subAuthorities.size());
  sid[7] = authority;  // the six authority bytes are big-endian
  size_t at = 8;
  for (uint32_t sub : subAuthorities) {
    Put32(sid, at, sub);
    at += 4;
  }
  return sid;
}

inline Bytes Everyone() { return MakeSid(1, {0}); }
inline Bytes LocalSystem() { return MakeSid(5, {18}); }
inline Bytes Administrators() { return MakeSid(5, {32, 544}); }
inline Bytes Users() { return MakeSid(5, {32, 545}); }
inline Bytes MediumIntegrity() { return MakeSid(16, {0x2000}); }

constexpr uint8_t kAllowed = 0x00;
constexpr uint8_t kDenied = 0x01;
constexpr uint8_t kAudit = 0x02;
constexpr uint8_t kLabel = 0x11;

inline Bytes MakeAce(uint8_t type, uint8_t flags, uint32_t mask, const Bytes& sid) {
  Bytes ace(8, 0);
  ace[0] = type;
  ace[1] = flags;
  Put32(ace, 4, mask);
  ace.insert(ace.end(), sid.begin(), sid.end());
  Put16(ace, 2, static_cast<uint16_t>(ace.size()));
  return ace;
}

inline Bytes MakeAcl(std::initializer_list<Bytes> aces, uint8_t revision = 2) {
  Bytes acl(8, 0);
  acl[0] = revision;
  for (const Bytes& ace : aces) acl.insert(acl.end(), ace.begin(), ace.end());
  Put16(acl, 2, static_cast<uint16_t>(acl.size()));
  Put16(acl, 4, static_cast<uint16_t>(aces.size()));
  return acl;
}

constexpr uint16_t kDaclPresent = 0x0004;
constexpr uint16_t kSaclPresent = 0x0010;
constexpr uint16_t kDaclAutoInherited = 0x0400;
constexpr uint16_t kDaclProtected = 0x1000;
constexpr uint16_t kSelfRelative = 0x8000;

struct DescriptorParts {
  Bytes owner;
  Bytes group;
  Bytes sacl;
  Bytes dacl;
  bool saclPresent = false;  // implied by a non-empty sacl
  bool daclPresent = false;  // implied by a non-empty dacl
  uint16_t extraControl = 0;
};

// Self-relative: header, then owner, group, system list and discretionary
// list, each where the previous one ends.
inline Bytes MakeSelfRelative(const DescriptorParts& parts) {
  Bytes sd(20, 0);
  sd[0] = 1;
  uint16_t control = static_cast<uint16_t>(kSelfRelative | parts.extraControl);
  auto append = [&](const Bytes& part, size_t field) {
    if (part.empty()) return;
    Put32(sd, field, static_cast<uint32_t>(sd.size()));
    sd.insert(sd.end(), part.begin(), part.end());
  };
  append(parts.owner, 4);
  append(parts.group, 8);
  append(parts.sacl, 12);
  append(parts.dacl, 16);
  if (parts.saclPresent || !parts.sacl.empty()) control |= kSaclPresent;
  if (parts.daclPresent || !parts.dacl.empty()) control |= kDaclPresent;
  Put16(sd, 2, control);
  return sd;
}

// Owner, group, a discretionary list of two entries and a system list with
// an audit entry and a medium label.
inline Bytes FullDescriptor() {
  DescriptorParts parts;
  parts.owner = Administrators();
  parts.group = Users();
  parts.dacl = MakeAcl({MakeAce(kAllowed, 0, 0x1F01FF, Administrators()), MakeAce(kAllowed, 0, 0x120089, Users())});
  parts.sacl = MakeAcl({MakeAce(kAudit, 0x80, 0x10000, Everyone()), MakeAce(kLabel, 0, 1, MediumIntegrity())});
  return MakeSelfRelative(parts);
}

// The stream form of a block: parts, length, block.
inline Bytes MakeRecord(uint32_t parts, const Bytes& block) {
  Bytes record(8, 0);
  Put32(record, 0, parts);
  Put32(record, 4, static_cast<uint32_t>(block.size()));
  record.insert(record.end(), block.begin(), block.end());
  return record;
}

// A stored block for a self-relative descriptor, its header placed at
// headerOffset (8 or more) with zero padding before it.
inline Bytes MakeBlock(const Bytes& selfRelative, uint32_t headerOffset = 8) {
  Bytes block(headerOffset, 0);
  Put32(block, 4, headerOffset);
  block.insert(block.end(), selfRelative.begin(), selfRelative.end());
  Put16(block, headerOffset + 2, static_cast<uint16_t>(Get16(block.data() + headerOffset + 2) & ~kSelfRelative));
  for (size_t field : {4u, 8u, 12u, 16u}) {
    const uint32_t offset = Get32(block.data() + headerOffset + field);
    if (offset != 0) Put32(block, headerOffset + field, offset + headerOffset);
  }
  return block;
}

}  // namespace ryl::test
