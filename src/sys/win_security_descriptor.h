// The library's security-descriptor object: owner, group, discretionary
// list, system (audit) list and mandatory label, each kept on its own so
// that exactly the parts a caller selected are held, written and stored.
// Hosts and the services reach it through the RylSecurityObject table.
//
// Objects live on the default heap (Clone makes them there, as
// core::MakeObject does) so that Destroy can free them; an object made on
// the stack must never be destroyed through its table.
#pragma once

#include <cstdint>

#include "ryl/security.h"
#include "ryl/streams.h"
#include "sys/heap_bytes.h"
#include "sys/win_acl.h"
#include "sys/win_mandatory_label.h"
#include "sys/win_security_identifier.h"

namespace ryl::sys {

// Parts selector bits (the native SECURITY_INFORMATION bits used here).
inline constexpr uint32_t kPartOwner = 0x01;
inline constexpr uint32_t kPartGroup = 0x02;
inline constexpr uint32_t kPartDacl = 0x04;
inline constexpr uint32_t kPartSacl = 0x08;
inline constexpr uint32_t kPartLabel = 0x10;
inline constexpr uint32_t kAllParts = 0x1F;

class RylWinSecurityDescriptor final : public RylSecurityObject {
 public:
  RylWinSecurityDescriptor() noexcept = default;
  ~RylWinSecurityDescriptor() = default;
  RylWinSecurityDescriptor(const RylWinSecurityDescriptor&) = delete;
  RylWinSecurityDescriptor& operator=(const RylWinSecurityDescriptor&) = delete;

  // The table.
  ResultCode RYL_THISCALL Clone(RylSecurityObject** outClone) override;
  void RYL_THISCALL Destroy() override;
  void RYL_THISCALL DestroyThrough(RylSecurityObject** object) override;
  ResultCode RYL_THISCALL Reserved3() override { return RYL_OK; }
  void RYL_THISCALL Reserved4() override {}
  // Null when the object holds no descriptor, or when memory ran out while
  // building the self-relative form (SelfRelative reports which).
  const void* RYL_THISCALL GetSecurityDescriptor() override;
  uint32_t RYL_THISCALL GetPartsPresent() override;
  // The descriptor has no length beside it, so its parts are only checked
  // to lie within the largest size any gap-free descriptor can have; callers
  // that know the length use SetFromSelfRelativeBytes.
  ResultCode RYL_THISCALL SetFromSelfRelative(const void* descriptor, uint32_t parts) override;
  ResultCode RYL_THISCALL WriteToStream(SeekableStream* writer) override;
  ResultCode RYL_THISCALL ReadFromStream(SeekableStream* reader) override;

  // Drops everything: the object then holds no descriptor.
  void Clear() noexcept;
  // Drops the access lists and the label, keeping owner and group.
  void ClearSecurityAttributes() noexcept;
  bool HoldsDescriptor() const noexcept { return filled_; }

  // The self-relative form of what is held, built on first use and kept
  // until the object changes. RYL_E_NOT_OPEN when nothing is held.
  [[nodiscard]] ResultCode SelfRelative(const void** outDescriptor, uint32_t* outLength) noexcept;

  // Takes the selected parts of a self-relative descriptor of `length`
  // bytes. A descriptor that is not well formed within those bytes is
  // RYL_E_INVALID_ARG. On any failure the object keeps what it held.
  [[nodiscard]] ResultCode SetFromSelfRelativeBytes(const void* descriptor, uint32_t length, uint32_t parts) noexcept;

  // Takes an access list into the object: a discretionary list whole; a
  // system list split into its audit entries (kept when parts selects
  // kPartSacl) and its first mandatory label (kept when parts selects
  // kPartLabel). The list is checked against its own size first.
  [[nodiscard]] ResultCode WinACL2RylACL(const void* acl, bool systemList, uint32_t parts) noexcept;

  // Applies the held descriptor to an open object (a handle opened with the
  // write access the parts need), for the selected parts.
  [[nodiscard]] ResultCode SetDescriptorToObject(void* handle, uint32_t parts) noexcept;

  const RylWinSecurityIdentifier& owner() const noexcept { return owner_; }
  const RylWinSecurityIdentifier& group() const noexcept { return group_; }
  const RylWinAcl& dacl() const noexcept { return dacl_; }
  const RylWinAcl& sacl() const noexcept { return sacl_; }
  const RylWinMandatoryLabel& label() const noexcept { return label_; }

 private:
  // Fills this (cleared) object from a checked descriptor in either form.
  [[nodiscard]] ResultCode FillFrom(void* descriptor, uint32_t parts) noexcept;
  [[nodiscard]] ResultCode CopyStateFrom(const RylWinSecurityDescriptor& other) noexcept;
  void TakeStateFrom(RylWinSecurityDescriptor& other) noexcept;
  [[nodiscard]] ResultCode BuildSelfRelative(HeapBytes* out) const noexcept;

  RylWinSecurityIdentifier owner_;
  RylWinSecurityIdentifier group_;
  RylWinAcl dacl_;
  RylWinAcl sacl_;
  RylWinMandatoryLabel label_;
  // The defaulted and inheritance control bits of the parts held.
  uint16_t control_ = 0;
  bool filled_ = false;
  HeapBytes selfRelative_;
};

}  // namespace ryl::sys
