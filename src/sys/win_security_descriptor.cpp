#include "sys/win_security_descriptor.h"

#include <cstring>
#include <new>
#include <utility>

#include "sys/heap.h"
#include "sys/native_api.h"
#include "sys/result_codes.h"
#include "sys/security_descriptor_check.h"
#include "sys/stored_security_descriptor.h"

namespace ryl::sys {
namespace {

constexpr uint8_t kDescriptorRevision = 1;
constexpr uint8_t kLowestAclRevision = 2;

// Control bits kept with the parts they belong to. Only the inheritance
// bits can be set through RtlSetControlSecurityDescriptor; the defaulted
// bits travel with the part's own setter.
constexpr uint16_t kOwnerDefaulted = 0x0001;
constexpr uint16_t kGroupDefaulted = 0x0002;
constexpr uint16_t kDaclDefaulted = 0x0008;
constexpr uint16_t kSaclDefaulted = 0x0020;
constexpr uint16_t kDaclInheritance = 0x0100 | 0x0400 | 0x1000;  // auto-inherit request, auto-inherited, protected
constexpr uint16_t kSaclInheritance = 0x0200 | 0x0800 | 0x2000;

uint16_t AclSizeOf(const void* acl) noexcept {
  uint16_t size;
  std::memcpy(&size, static_cast<const uint8_t*>(acl) + 2, sizeof size);
  return size;
}

}  // namespace

ResultCode RYL_THISCALL RylWinSecurityDescriptor::Clone(RylSecurityObject** outClone) {
  if (outClone == nullptr) return RYL_E_INVALID_ARG;
  void* memory = DefaultHeapAllocate(sizeof(RylWinSecurityDescriptor));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  auto* copy = ::new (memory) RylWinSecurityDescriptor();
  const ResultCode copied = copy->CopyStateFrom(*this);
  if (copied < 0) {
    copy->Destroy();
    return copied;
  }
  *outClone = copy;
  return RYL_OK;
}

void RYL_THISCALL RylWinSecurityDescriptor::Destroy() {
  this->~RylWinSecurityDescriptor();
  DefaultHeapFree(this);
}

void RYL_THISCALL RylWinSecurityDescriptor::DestroyThrough(RylSecurityObject** object) {
  if (object == nullptr || *object == nullptr) return;
  RylSecurityObject* victim = std::exchange(*object, nullptr);
  victim->Destroy();
}

const void* RYL_THISCALL RylWinSecurityDescriptor::GetSecurityDescriptor() {
  const void* descriptor = nullptr;
  uint32_t length = 0;
  return SelfRelative(&descriptor, &length) >= 0 ? descriptor : nullptr;
}

uint32_t RYL_THISCALL RylWinSecurityDescriptor::GetPartsPresent() {
  uint32_t parts = 0;
  if (owner_.IsInitialized()) parts |= kPartOwner;
  if (group_.IsInitialized()) parts |= kPartGroup;
  if (dacl_.IsPresent()) parts |= kPartDacl;
  if (sacl_.IsPresent()) parts |= kPartSacl;
  if (label_.IsInitialized()) parts |= kPartLabel;
  return parts;
}

ResultCode RYL_THISCALL RylWinSecurityDescriptor::SetFromSelfRelative(const void* descriptor, uint32_t parts) {
  return SetFromSelfRelativeBytes(descriptor, kLargestCompactDescriptorSize, parts);
}

ResultCode RYL_THISCALL RylWinSecurityDescriptor::WriteToStream(SeekableStream* writer) {
  if (writer == nullptr) return RYL_E_INVALID_ARG;
  const void* descriptor = nullptr;
  uint32_t length = 0;
  const ResultCode built = SelfRelative(&descriptor, &length);
  if (built < 0) return built;
  return WriteStoredDescriptor(writer, GetPartsPresent(), descriptor, length);
}

ResultCode RYL_THISCALL RylWinSecurityDescriptor::ReadFromStream(SeekableStream* reader) {
  if (reader == nullptr) return RYL_E_INVALID_ARG;
  StoredDescriptor stored;
  const ResultCode read = ReadStoredDescriptor(reader, &stored);
  if (read < 0) return read;
  SECURITY_DESCRIPTOR view = MakeAbsoluteView(stored.block);
  RylWinSecurityDescriptor fresh;
  const ResultCode filled = fresh.FillFrom(&view, stored.parts);
  if (filled < 0) return filled;
  TakeStateFrom(fresh);
  return RYL_OK;
}

void RylWinSecurityDescriptor::Clear() noexcept {
  owner_.Clear();
  group_.Clear();
  ClearSecurityAttributes();
  control_ = 0;
  filled_ = false;
}

void RylWinSecurityDescriptor::ClearSecurityAttributes() noexcept {
  dacl_.Clear();
  sacl_.Clear();
  label_.Clear();
  control_ = static_cast<uint16_t>(control_ & (kOwnerDefaulted | kGroupDefaulted));
  selfRelative_.Reset();
}

ResultCode RylWinSecurityDescriptor::SelfRelative(const void** outDescriptor, uint32_t* outLength) noexcept {
  if (outDescriptor == nullptr || outLength == nullptr) return RYL_E_INVALID_ARG;
  if (!filled_) return RYL_E_NOT_OPEN;
  if (selfRelative_.empty()) {
    HeapBytes built;
    const ResultCode rc = BuildSelfRelative(&built);
    if (rc < 0) return rc;
    selfRelative_ = std::move(built);
  }
  *outDescriptor = selfRelative_.data();
  *outLength = selfRelative_.size();
  return RYL_OK;
}

ResultCode RylWinSecurityDescriptor::SetFromSelfRelativeBytes(const void* descriptor, uint32_t length,
                                                              uint32_t parts) noexcept {
  if (descriptor == nullptr) return RYL_E_INVALID_ARG;
  if (!IsWellFormedSelfRelativeDescriptor(descriptor, length)) return RYL_E_INVALID_ARG;
  RylWinSecurityDescriptor fresh;
  const ResultCode filled = fresh.FillFrom(const_cast<void*>(descriptor), parts);
  if (filled < 0) return filled;
  TakeStateFrom(fresh);
  return RYL_OK;
}

ResultCode RylWinSecurityDescriptor::WinACL2RylACL(const void* acl, bool systemList, uint32_t parts) noexcept {
  if (acl == nullptr) return RYL_E_INVALID_ARG;
  const auto* bytes = static_cast<const uint8_t*>(acl);
  const uint32_t aclSize = AclSizeOf(acl);
  if (!IsWellFormedAcl(bytes, aclSize, 0)) return RYL_E_INVALID_ARG;
  const ACL* header = static_cast<const ACL*>(acl);
  const bool keepEntries = !systemList || (parts & kPartSacl) != 0;
  const bool keepLabel = systemList && (parts & kPartLabel) != 0;
  RylWinAcl converted;
  if (keepEntries) {
    const ResultCode started = converted.Start(header->AclRevision, aclSize - sizeof(ACL));
    if (started < 0) return started;
  }
  RylWinMandatoryLabel label;
  for (ULONG i = 0; i < header->AceCount; ++i) {
    void* ace = nullptr;
    const NTSTATUS status = RtlGetAce(const_cast<ACL*>(header), i, &ace);
    if (status < 0) return RylResultFromNtStatus(status);
    const bool isLabel = systemList && static_cast<const uint8_t*>(ace)[0] == RylWinMandatoryLabel::kAceType;
    if (isLabel) {
      // A list carries one label; a second one has no meaning and is dropped.
      if (keepLabel && !label.IsInitialized()) {
        if (const ResultCode rc = label.Initialize(ace); rc < 0) return rc;
      }
    } else if (keepEntries) {
      if (const ResultCode rc = converted.Append(ace); rc < 0) return rc;
    }
  }
  if (!systemList) {
    dacl_ = std::move(converted);
  } else {
    if (keepEntries) sacl_ = std::move(converted);
    if (keepLabel) label_ = label;
  }
  selfRelative_.Reset();
  return RYL_OK;
}

ResultCode RylWinSecurityDescriptor::SetDescriptorToObject(void* handle, uint32_t parts) noexcept {
  const void* descriptor = nullptr;
  uint32_t length = 0;
  const ResultCode built = SelfRelative(&descriptor, &length);
  if (built < 0) return built;
  const NTSTATUS status = ZwSetSecurityObject(handle, parts, const_cast<void*>(descriptor));
  return RylResultFromNtStatus(status);
}

ResultCode RylWinSecurityDescriptor::FillFrom(void* descriptor, uint32_t parts) noexcept {
  filled_ = true;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  ULONG revision = 0;
  NTSTATUS status = RtlGetControlSecurityDescriptor(descriptor, &control, &revision);
  if (status < 0) return RylResultFromNtStatus(status);

  struct IdentityPart {
    uint32_t part;
    NTSTATUS(NTAPI* get)(PSECURITY_DESCRIPTOR, PSID*, PBOOLEAN);
    RylWinSecurityIdentifier* target;
    uint16_t defaultedBit;
  };
  const IdentityPart identities[] = {
      {kPartOwner, RtlGetOwnerSecurityDescriptor, &owner_, kOwnerDefaulted},
      {kPartGroup, RtlGetGroupSecurityDescriptor, &group_, kGroupDefaulted},
  };
  for (const IdentityPart& identity : identities) {
    if ((parts & identity.part) == 0) continue;
    PSID sid = nullptr;
    BOOLEAN defaulted = FALSE;
    status = identity.get(descriptor, &sid, &defaulted);
    if (status < 0) return RylResultFromNtStatus(status);
    if (sid == nullptr) continue;
    if (const ResultCode rc = identity.target->Initialize(sid); rc < 0) return rc;
    if (defaulted) control_ |= identity.defaultedBit;
  }
  if ((parts & kPartDacl) != 0) {
    BOOLEAN present = FALSE;
    BOOLEAN defaulted = FALSE;
    PACL acl = nullptr;
    status = RtlGetDaclSecurityDescriptor(descriptor, &present, &acl, &defaulted);
    if (status < 0) return RylResultFromNtStatus(status);
    if (present && acl != nullptr) {
      if (const ResultCode rc = WinACL2RylACL(acl, false, parts); rc < 0) return rc;
      control_ |= static_cast<uint16_t>((control & kDaclInheritance) | (defaulted ? kDaclDefaulted : 0));
    }
  }
  if ((parts & (kPartSacl | kPartLabel)) != 0) {
    BOOLEAN present = FALSE;
    BOOLEAN defaulted = FALSE;
    PACL acl = nullptr;
    status = RtlGetSaclSecurityDescriptor(descriptor, &present, &acl, &defaulted);
    if (status < 0) return RylResultFromNtStatus(status);
    if (present && acl != nullptr) {
      if (const ResultCode rc = WinACL2RylACL(acl, true, parts); rc < 0) return rc;
      if (sacl_.IsPresent() || label_.IsInitialized()) {
        control_ |= static_cast<uint16_t>((control & kSaclInheritance) | (defaulted ? kSaclDefaulted : 0));
      }
    }
  }
  selfRelative_.Reset();
  return RYL_OK;
}

ResultCode RylWinSecurityDescriptor::CopyStateFrom(const RylWinSecurityDescriptor& other) noexcept {
  RylWinAcl dacl;
  RylWinAcl sacl;
  if (const ResultCode rc = dacl.CopyFrom(other.dacl_); rc < 0) return rc;
  if (const ResultCode rc = sacl.CopyFrom(other.sacl_); rc < 0) return rc;
  owner_ = other.owner_;
  group_ = other.group_;
  dacl_ = std::move(dacl);
  sacl_ = std::move(sacl);
  label_ = other.label_;
  control_ = other.control_;
  filled_ = other.filled_;
  selfRelative_.Reset();
  return RYL_OK;
}

void RylWinSecurityDescriptor::TakeStateFrom(RylWinSecurityDescriptor& other) noexcept {
  owner_ = other.owner_;
  group_ = other.group_;
  dacl_ = std::move(other.dacl_);
  sacl_ = std::move(other.sacl_);
  label_ = other.label_;
  control_ = other.control_;
  filled_ = other.filled_;
  selfRelative_ = std::move(other.selfRelative_);
  other.Clear();
}

ResultCode RylWinSecurityDescriptor::BuildSelfRelative(HeapBytes* out) const noexcept {
  SECURITY_DESCRIPTOR absolute;
  NTSTATUS status = RtlCreateSecurityDescriptor(&absolute, kDescriptorRevision);
  if (status < 0) return RylResultFromNtStatus(status);
  if (owner_.IsInitialized()) {
    status = RtlSetOwnerSecurityDescriptor(&absolute, const_cast<void*>(owner_.get()),
                                           (control_ & kOwnerDefaulted) != 0);
    if (status < 0) return RylResultFromNtStatus(status);
  }
  if (group_.IsInitialized()) {
    status = RtlSetGroupSecurityDescriptor(&absolute, const_cast<void*>(group_.get()),
                                           (control_ & kGroupDefaulted) != 0);
    if (status < 0) return RylResultFromNtStatus(status);
  }
  uint16_t inheritanceMask = 0;
  HeapBytes dacl;
  if (dacl_.IsPresent()) {
    if (const ResultCode rc = dacl_.BuildNative(nullptr, 0, kLowestAclRevision, &dacl); rc < 0) return rc;
    status = RtlSetDaclSecurityDescriptor(&absolute, TRUE, reinterpret_cast<PACL>(dacl.data()),
                                          (control_ & kDaclDefaulted) != 0);
    if (status < 0) return RylResultFromNtStatus(status);
    inheritanceMask |= kDaclInheritance;
  }
  // The label goes back into the system list it came from, after the
  // audit entries.
  HeapBytes sacl;
  if (sacl_.IsPresent() || label_.IsInitialized()) {
    const ResultCode rc = sacl_.BuildNative(label_.ace(), label_.size(), kLowestAclRevision, &sacl);
    if (rc < 0) return rc;
    status = RtlSetSaclSecurityDescriptor(&absolute, TRUE, reinterpret_cast<PACL>(sacl.data()),
                                          (control_ & kSaclDefaulted) != 0);
    if (status < 0) return RylResultFromNtStatus(status);
    inheritanceMask |= kSaclInheritance;
  }
  if ((control_ & inheritanceMask) != 0) {
    status = RtlSetControlSecurityDescriptor(&absolute, inheritanceMask, control_ & inheritanceMask);
    if (status < 0) return RylResultFromNtStatus(status);
  }
  ULONG length = 0;
  status = RtlAbsoluteToSelfRelativeSD(&absolute, nullptr, &length);
  // Asked for no room, the routine can only report the size it needs.
  if (status != STATUS_BUFFER_TOO_SMALL) return status < 0 ? RylResultFromNtStatus(status) : RYL_E_INVALID_STATE;
  HeapBytes block;
  if (!block.Allocate(length)) return RYL_E_OUT_OF_MEMORY;
  status = RtlAbsoluteToSelfRelativeSD(&absolute, block.data(), &length);
  if (status < 0) return RylResultFromNtStatus(status);
  *out = std::move(block);
  return RYL_OK;
}

}  // namespace ryl::sys
