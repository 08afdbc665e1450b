#include "sys/win_acl.h"

#include <cstring>
#include <utility>

#include "sys/native_api.h"
#include "sys/result_codes.h"
#include "sys/security_descriptor_check.h"

namespace ryl::sys {
namespace {

constexpr uint32_t kAclHeaderSize = 8;
constexpr ULONG kAppendAtEnd = 0xFFFFFFFF;  // entry index meaning "after the last one"

uint16_t AceSizeOf(const void* ace) noexcept {
  uint16_t size;
  std::memcpy(&size, static_cast<const uint8_t*>(ace) + 2, sizeof size);
  return size;
}

}  // namespace

void RylWinAcl::Clear() noexcept {
  entries_.Reset();
  used_ = 0;
  count_ = 0;
  revision_ = 0;
  present_ = false;
}

ResultCode RylWinAcl::Start(uint8_t revision, uint32_t entryBytes) noexcept {
  HeapBytes room;
  if (!room.Allocate(entryBytes)) return RYL_E_OUT_OF_MEMORY;
  entries_ = std::move(room);
  used_ = 0;
  count_ = 0;
  revision_ = revision;
  present_ = true;
  return RYL_OK;
}

ResultCode RylWinAcl::Append(const void* ace) noexcept {
  if (ace == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t size = AceSizeOf(ace);
  if (size > kLargestAclSize - kAclHeaderSize - used_) return RYL_E_VALUE_TOO_LARGE;
  if (entries_.size() - used_ < size) {
    HeapBytes grown;
    if (!grown.Allocate(used_ + size)) return RYL_E_OUT_OF_MEMORY;
    if (used_ != 0) std::memcpy(grown.data(), entries_.data(), used_);
    entries_ = std::move(grown);
  }
  std::memcpy(entries_.data() + used_, ace, size);
  used_ += size;
  ++count_;
  present_ = true;
  return RYL_OK;
}

ResultCode RylWinAcl::CopyFrom(const RylWinAcl& other) noexcept {
  if (this == &other) return RYL_OK;
  HeapBytes copy;
  if (!copy.Assign(other.entries_.data(), other.used_)) return RYL_E_OUT_OF_MEMORY;
  entries_ = std::move(copy);
  used_ = other.used_;
  count_ = other.count_;
  revision_ = other.revision_;
  present_ = other.present_;
  return RYL_OK;
}

ResultCode RylWinAcl::BuildNative(const void* extraAce, uint32_t extraSize, uint8_t minRevision,
                                  HeapBytes* out) const noexcept {
  if (out == nullptr || (extraAce == nullptr && extraSize != 0)) return RYL_E_INVALID_ARG;
  const uint32_t total = kAclHeaderSize + used_ + extraSize;
  if (total > kLargestAclSize) return RYL_E_VALUE_TOO_LARGE;
  const uint8_t revision = revision_ > minRevision ? revision_ : minRevision;
  HeapBytes block;
  if (!block.Allocate(total)) return RYL_E_OUT_OF_MEMORY;
  auto* acl = reinterpret_cast<PACL>(block.data());
  NTSTATUS status = RtlCreateAcl(acl, total, revision);
  if (status < 0) return RylResultFromNtStatus(status);
  if (used_ != 0) {
    status = RtlAddAce(acl, revision, kAppendAtEnd, const_cast<uint8_t*>(entries_.data()), used_);
    if (status < 0) return RylResultFromNtStatus(status);
  }
  if (extraAce != nullptr) {
    status = RtlAddAce(acl, revision, kAppendAtEnd, const_cast<void*>(extraAce), extraSize);
    if (status < 0) return RylResultFromNtStatus(status);
  }
  *out = std::move(block);
  return RYL_OK;
}

}  // namespace ryl::sys
