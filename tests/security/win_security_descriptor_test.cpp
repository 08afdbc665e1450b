// The security-descriptor object: which parts it keeps, what its table does,
// and that a refused descriptor leaves it as it was.
#include <gtest/gtest.h>

#include <vector>

#include "core/object_ptr.h"
#include "descriptor_builder.h"
#include "support/result_matchers.h"
#include "sys/win_security_descriptor.h"

namespace ryl::sys {
namespace {

using test::Bytes;
using test::DescriptorParts;

// The self-relative form the object hands out, as bytes.
Bytes DescriptorOf(RylWinSecurityDescriptor& object) {
  const void* descriptor = nullptr;
  uint32_t length = 0;
  EXPECT_CODE(object.SelfRelative(&descriptor, &length), RYL_OK);
  if (descriptor == nullptr) return Bytes();
  EXPECT_EQ(object.GetSecurityDescriptor(), descriptor);
  const auto* bytes = static_cast<const uint8_t*>(descriptor);
  return Bytes(bytes, bytes + length);
}

// The part at a header field of a self-relative descriptor, or empty.
Bytes SidAt(const Bytes& sd, size_t field) {
  const uint32_t offset = test::Get32(sd.data() + field);
  if (offset == 0) return Bytes();
  return Bytes(sd.begin() + offset, sd.begin() + offset + 8 + 4 * sd[offset + 1]);
}
Bytes AclAt(const Bytes& sd, size_t field) {
  const uint32_t offset = test::Get32(sd.data() + field);
  if (offset == 0) return Bytes();
  return Bytes(sd.begin() + offset, sd.begin() + offset + test::Get16(sd.data() + offset + 2));
}
constexpr size_t kOwnerField = 4, kGroupField = 8, kSaclField = 12, kDaclField = 16;

core::ObjectPtr<RylWinSecurityDescriptor> NewObject() {
  return core::ObjectPtr<RylWinSecurityDescriptor>(core::MakeObject<RylWinSecurityDescriptor>());
}

TEST(RylWinSecurityDescriptor, KeepsExactlyTheSelectedParts) {
  const Bytes full = test::FullDescriptor();
  auto object = NewObject();
  ASSERT_CODE(object->SetFromSelfRelative(full.data(), RYL_SECURITY_OWNER | RYL_SECURITY_DACL), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x05u);
  const Bytes held = DescriptorOf(*object);
  EXPECT_EQ(SidAt(held, kOwnerField), test::Administrators());
  EXPECT_TRUE(SidAt(held, kGroupField).empty());
  EXPECT_TRUE(AclAt(held, kSaclField).empty());
  EXPECT_EQ(AclAt(held, kDaclField), AclAt(full, kDaclField));
  EXPECT_EQ(test::Get16(held.data() + 2) & (test::kDaclPresent | test::kSaclPresent), test::kDaclPresent);

  ASSERT_CODE(object->SetFromSelfRelative(full.data(), 0x1F), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x1Fu);
  EXPECT_EQ(DescriptorOf(*object).size(), full.size());

  // What is present follows the descriptor, not the selector.
  DescriptorParts ownerOnly;
  ownerOnly.owner = test::Users();
  const Bytes partial = test::MakeSelfRelative(ownerOnly);
  ASSERT_CODE(object->SetFromSelfRelative(partial.data(), 0x1F), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x01u);
}

TEST(RylWinSecurityDescriptor, SplitsTheSystemListIntoAuditEntriesAndLabel) {
  const Bytes full = test::FullDescriptor();
  const Bytes audit = test::MakeAce(test::kAudit, 0x80, 0x10000, test::Everyone());
  const Bytes label = test::MakeAce(test::kLabel, 0, 1, test::MediumIntegrity());
  auto object = NewObject();

  ASSERT_CODE(object->SetFromSelfRelative(full.data(), RYL_SECURITY_SACL), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x08u);
  EXPECT_EQ(AclAt(DescriptorOf(*object), kSaclField), test::MakeAcl({audit}));

  ASSERT_CODE(object->SetFromSelfRelative(full.data(), RYL_SECURITY_LABEL), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x10u);
  EXPECT_EQ(AclAt(DescriptorOf(*object), kSaclField), test::MakeAcl({label}));

  ASSERT_CODE(object->SetFromSelfRelative(full.data(), RYL_SECURITY_SACL | RYL_SECURITY_LABEL), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x18u);
  EXPECT_EQ(AclAt(DescriptorOf(*object), kSaclField), test::MakeAcl({audit, label}));
}

TEST(RylWinSecurityDescriptor, NullListIsNotHeldButEmptyListIs) {
  DescriptorParts nullList;
  nullList.daclPresent = true;
  const Bytes nullSd = test::MakeSelfRelative(nullList);
  auto object = NewObject();
  ASSERT_CODE(object->SetFromSelfRelative(nullSd.data(), RYL_SECURITY_DACL), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0u);

  DescriptorParts emptyList;
  emptyList.dacl = test::MakeAcl({});
  const Bytes emptySd = test::MakeSelfRelative(emptyList);
  ASSERT_CODE(object->SetFromSelfRelative(emptySd.data(), RYL_SECURITY_DACL), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x04u);
  const Bytes held = DescriptorOf(*object);
  EXPECT_EQ(AclAt(held, kDaclField), test::MakeAcl({}));
}

TEST(RylWinSecurityDescriptor, KeepsTheInheritanceBitsOfTheListsItHolds) {
  DescriptorParts parts;
  parts.owner = test::Administrators();
  parts.dacl = test::MakeAcl({test::MakeAce(test::kAllowed, 0, 1, test::Everyone())});
  parts.extraControl = test::kDaclProtected | test::kDaclAutoInherited;
  const Bytes sd = test::MakeSelfRelative(parts);
  auto object = NewObject();
  ASSERT_CODE(object->SetFromSelfRelative(sd.data(), RYL_SECURITY_DACL), RYL_OK);
  EXPECT_EQ(test::Get16(DescriptorOf(*object).data() + 2) & 0x3F00, test::kDaclProtected | test::kDaclAutoInherited);
  // Without the list, its bits have nothing to describe.
  ASSERT_CODE(object->SetFromSelfRelative(sd.data(), RYL_SECURITY_OWNER), RYL_OK);
  EXPECT_EQ(test::Get16(DescriptorOf(*object).data() + 2) & 0x3F00, 0);
}

TEST(RylWinSecurityDescriptor, RefusedDescriptorLeavesTheObjectAsItWas) {
  const Bytes full = test::FullDescriptor();
  auto object = NewObject();
  ASSERT_CODE(object->SetFromSelfRelative(full.data(), 0x1F), RYL_OK);
  const Bytes before = DescriptorOf(*object);

  Bytes badRevision = full;
  badRevision[0] = 3;
  EXPECT_CODE(object->SetFromSelfRelative(badRevision.data(), 0x1F), RYL_E_INVALID_ARG);
  Bytes ownerFarAway = full;
  test::Put32(ownerFarAway, kOwnerField, 0x7FFFFF00);  // beyond any descriptor: refused before it is followed
  EXPECT_CODE(object->SetFromSelfRelative(ownerFarAway.data(), 0x1F), RYL_E_INVALID_ARG);
  EXPECT_CODE(object->SetFromSelfRelative(nullptr, 0x1F), RYL_E_INVALID_ARG);
  EXPECT_CODE(object->SetFromSelfRelativeBytes(full.data(), static_cast<uint32_t>(full.size() - 1), 0x1F),
              RYL_E_INVALID_ARG);

  EXPECT_EQ(object->GetPartsPresent(), 0x1Fu);
  EXPECT_EQ(DescriptorOf(*object), before);
}

TEST(RylWinSecurityDescriptor, CloneIsAnIndependentCopy) {
  const Bytes full = test::FullDescriptor();
  auto object = NewObject();
  ASSERT_CODE(object->SetFromSelfRelative(full.data(), 0x1F), RYL_OK);
  RylSecurityObject* clone = reinterpret_cast<RylSecurityObject*>(0xDEADBEEF);
  EXPECT_CODE(object->Clone(nullptr), RYL_E_INVALID_ARG);
  ASSERT_CODE(object->Clone(&clone), RYL_OK);
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetPartsPresent(), 0x1Fu);
  const Bytes original = DescriptorOf(*object);
  const auto* cloned = static_cast<const uint8_t*>(clone->GetSecurityDescriptor());
  ASSERT_NE(cloned, nullptr);
  EXPECT_EQ(Bytes(cloned, cloned + original.size()), original);
  object->Clear();
  EXPECT_EQ(clone->GetPartsPresent(), 0x1Fu);

  // Destroying through a pointer empties the pointer; an empty one is left be.
  object->DestroyThrough(&clone);
  EXPECT_EQ(clone, nullptr);
  object->DestroyThrough(&clone);
  object->DestroyThrough(nullptr);
}

}  // namespace
}  // namespace ryl::sys
