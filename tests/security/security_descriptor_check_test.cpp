// The structural checks that stand in for the system's validity routine:
// what they accept, what they refuse, and that they never read past the
// bytes they are given.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "descriptor_builder.h"
#include "sys/security_descriptor_check.h"

namespace ryl::sys {
namespace {

using test::Bytes;
using test::DescriptorParts;

bool Accepts(const Bytes& sd) { return IsWellFormedSelfRelativeDescriptor(sd.data(), static_cast<uint32_t>(sd.size())); }

DescriptorParts OwnerAndDacl() {
  DescriptorParts parts;
  parts.owner = test::Administrators();
  parts.dacl = test::MakeAcl({test::MakeAce(test::kAllowed, 0, 0x1F01FF, test::Everyone())});
  return parts;
}

// Offsets of the parts MakeSelfRelative lays out for OwnerAndDacl.
constexpr size_t kOwnerAt = 20;
constexpr size_t kDaclAt = kOwnerAt + 16;

// Bytes placed so that the byte after the last one is on a page the process
// may not read: a check that looks one byte too far faults.
class GuardedBytes {
 public:
  explicit GuardedBytes(const Bytes& bytes) {
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
    data_ = base_ + kPage - bytes.size();
    std::memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  // The last `length` bytes before the guard page.
  const uint8_t* tail(uint32_t length) const { return base_ + kPage - length; }

 private:
  static constexpr size_t kPage = 4096;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
};

TEST(SelfRelativeCheck, AcceptsEveryPartAndAbsentParts) {
  EXPECT_TRUE(Accepts(test::FullDescriptor()));
  EXPECT_TRUE(Accepts(test::MakeSelfRelative(DescriptorParts{})));
  DescriptorParts emptyList;
  emptyList.dacl = test::MakeAcl({});
  EXPECT_TRUE(Accepts(test::MakeSelfRelative(emptyList)));
  // A present list at offset 0 is the null list: nothing to follow.
  DescriptorParts nullList;
  nullList.daclPresent = true;
  EXPECT_TRUE(Accepts(test::MakeSelfRelative(nullList)));
}

TEST(SelfRelativeCheck, RefusesBrokenHeaders) {
  EXPECT_FALSE(IsWellFormedSelfRelativeDescriptor(nullptr, 100));
  Bytes sd = test::MakeSelfRelative(OwnerAndDacl());
  EXPECT_FALSE(IsWellFormedSelfRelativeDescriptor(sd.data(), 19));
  Bytes badRevision = sd;
  badRevision[0] = 2;
  EXPECT_FALSE(Accepts(badRevision));
  Bytes absolute = sd;
  test::Put16(absolute, 2, static_cast<uint16_t>(test::Get16(sd.data() + 2) & ~test::kSelfRelative));
  EXPECT_FALSE(Accepts(absolute));
}

TEST(SelfRelativeCheck, RefusesPartsOutsideTheBytesOrInsideTheHeader) {
  const Bytes sd = test::MakeSelfRelative(OwnerAndDacl());
  const auto size = static_cast<uint32_t>(sd.size());
  for (uint32_t ownerOffset : {4u, 19u, size, size - 8, 0xFFFFFFF8u}) {
    Bytes moved = sd;
    test::Put32(moved, 4, ownerOffset);
    EXPECT_FALSE(Accepts(moved)) << "owner at " << ownerOffset;
  }
  // One byte short of the discretionary list's end.
  EXPECT_FALSE(IsWellFormedSelfRelativeDescriptor(sd.data(), size - 1));
  Bytes longList = sd;
  test::Put16(longList, kDaclAt + 2, static_cast<uint16_t>(test::Get16(sd.data() + kDaclAt + 2) + 4));
  EXPECT_FALSE(Accepts(longList));
}

TEST(SelfRelativeCheck, RefusesMalformedIdentifiers) {
  Bytes sd = test::MakeSelfRelative(OwnerAndDacl());
  Bytes badRevision = sd;
  badRevision[kOwnerAt] = 2;
  EXPECT_FALSE(Accepts(badRevision));
  Bytes tooManySubAuthorities = sd;
  tooManySubAuthorities[kOwnerAt + 1] = 16;
  EXPECT_FALSE(Accepts(tooManySubAuthorities));
  // One sub-authority more than the descriptor has room for.
  DescriptorParts ownerOnly;
  ownerOnly.owner = test::Administrators();
  Bytes lastPart = test::MakeSelfRelative(ownerOnly);
  lastPart[kOwnerAt + 1] = 3;
  EXPECT_FALSE(Accepts(lastPart));
}

TEST(SelfRelativeCheck, RefusesAccessListsWithBrokenEntries) {
  const Bytes sd = test::MakeSelfRelative(OwnerAndDacl());
  const size_t ace = kDaclAt + 8;
  const std::function<void(Bytes&)> breakages[] = {
      [](Bytes& b) { b[kDaclAt] = 1; },                                  // list revision too low
      [](Bytes& b) { b[kDaclAt] = 5; },                                  // list revision too high
      [](Bytes& b) { test::Put16(b, kDaclAt + 2, 6); },                  // smaller than its header
      [](Bytes& b) { test::Put16(b, kDaclAt + 2, 26); },                 // size not a multiple of 4
      [](Bytes& b) { test::Put16(b, kDaclAt + 4, 2); },                  // more entries than it holds
      [&](Bytes& b) { test::Put16(b, ace + 2, 0); },                     // an entry that never ends
      [&](Bytes& b) { test::Put16(b, ace + 2, 18); },                    // entry size not a multiple of 4
      [&](Bytes& b) { test::Put16(b, ace + 2, 24); },                    // entry runs past the list
      [&](Bytes& b) { b[ace + 9] = 5; },                                 // entry's identifier runs past it
  };
  for (size_t i = 0; i < std::size(breakages); ++i) {
    Bytes broken = sd;
    breakages[i](broken);
    EXPECT_FALSE(Accepts(broken)) << "breakage " << i;
  }
}

TEST(SelfRelativeCheck, ChecksTheIdentifierOfObjectEntriesBehindTheirGuids) {
  // An allowed-object entry whose flags announce both GUIDs but whose size
  // leaves no room for them and the identifier.
  Bytes ace = test::MakeAce(0x05, 0, 0x100, test::Everyone());
  ace.insert(ace.begin() + 8, 4, 0);  // the flags word, before the identifier
  test::Put32(ace, 8, 3);
  test::Put16(ace, 2, static_cast<uint16_t>(ace.size()));
  DescriptorParts parts;
  parts.dacl = test::MakeAcl({ace}, 4);
  EXPECT_FALSE(Accepts(test::MakeSelfRelative(parts)));
  test::Put32(ace, 8, 0);  // no GUIDs: the identifier follows the flags
  parts.dacl = test::MakeAcl({ace}, 4);
  EXPECT_TRUE(Accepts(test::MakeSelfRelative(parts)));
}

TEST(SelfRelativeCheck, IgnoresListOffsetsWhosePresentBitIsClear) {
  Bytes sd = test::MakeSelfRelative(OwnerAndDacl());
  test::Put16(sd, 2, test::kSelfRelative);
  test::Put32(sd, 16, 0x7FFFFFF0);
  EXPECT_TRUE(Accepts(sd));
}

TEST(SelfRelativeCheck, NeverReadsPastTheLengthItIsGiven) {
  const Bytes sd = test::FullDescriptor();
  GuardedBytes guarded(sd);
  const auto size = static_cast<uint32_t>(sd.size());
  EXPECT_TRUE(IsWellFormedSelfRelativeDescriptor(guarded.tail(size), size));
  // Every shorter length of the same bytes, ending at the guard page: the
  // header or some part no longer fits, and the check must say so without
  // touching the page behind.
  for (uint32_t length = 0; length < size; ++length) {
    Bytes cut(sd.begin(), sd.begin() + length);
    GuardedBytes shorter(cut);
    EXPECT_FALSE(IsWellFormedSelfRelativeDescriptor(shorter.tail(length), length)) << length;
  }
}

TEST(StoredBlockCheck, AcceptsBlocksWhoseHeaderLiesAnywhereBehindTheFirstWords) {
  const Bytes sd = test::FullDescriptor();
  for (uint32_t headerOffset : {8u, 12u, 64u}) {
    const Bytes block = test::MakeBlock(sd, headerOffset);
    EXPECT_TRUE(IsWellFormedDescriptorBlock(block.data(), static_cast<uint32_t>(block.size()))) << headerOffset;
  }
}

TEST(StoredBlockCheck, RefusesHeadersAndPartsOutOfPlace) {
  const Bytes block = test::MakeBlock(test::MakeSelfRelative(OwnerAndDacl()));
  const auto size = static_cast<uint32_t>(block.size());
  auto refuses = [](const Bytes& b) { return !IsWellFormedDescriptorBlock(b.data(), static_cast<uint32_t>(b.size())); };
  EXPECT_FALSE(IsWellFormedDescriptorBlock(block.data(), 7));
  for (uint32_t headerOffset : {0u, 4u, size - 19, size, 0xFFFFFFF0u}) {
    Bytes moved = block;
    test::Put32(moved, 4, headerOffset);
    EXPECT_TRUE(refuses(moved)) << "header at " << headerOffset;
  }
  Bytes badRevision = block;
  badRevision[8] = 0;
  EXPECT_TRUE(refuses(badRevision));
  // The owner field names an offset from the block's start: inside the
  // header, inside the first eight bytes, or past the end are all refused.
  for (uint32_t ownerOffset : {4u, 12u, size - 4, size + 100}) {
    Bytes moved = block;
    test::Put32(moved, 8 + 4, ownerOffset);
    EXPECT_TRUE(refuses(moved)) << "owner at " << ownerOffset;
  }
}

TEST(StoredBlockCheck, NeverReadsPastTheLengthItIsGiven) {
  const Bytes block = test::MakeBlock(test::FullDescriptor());
  const auto size = static_cast<uint32_t>(block.size());
  GuardedBytes whole(block);
  EXPECT_TRUE(IsWellFormedDescriptorBlock(whole.tail(size), size));
  for (uint32_t length = 0; length < size; ++length) {
    Bytes cut(block.begin(), block.begin() + length);
    GuardedBytes shorter(cut);
    EXPECT_FALSE(IsWellFormedDescriptorBlock(shorter.tail(length), length)) << length;
  }
}

}  // namespace
}  // namespace ryl::sys
