#include "fs/directory_entry.h"

#include "core/delivery.h"
#include "core/entry_guard.h"
#include "core/growable_buffer.h"
#include "core/query.h"
#include "core/result_helpers.h"
#include "security/open_for_security.h"
#include "security/security_descriptor_io.h"
#include "security/security_parts.h"
#include "sys/scoped_handle.h"
#include "sys/win_object.h"
#include "sys/win_security_descriptor.h"

namespace ryl::fs {
namespace {

// Empty text crosses the boundary as (null, 0), as every view of the path code.
RylStringView* WriteView(RylStringView* result, strings::PathText text) noexcept {
  if (result == nullptr) return result;
  result->data = text.empty() ? nullptr : reinterpret_cast<const RylChar16*>(text.data());
  result->length = static_cast<uint32_t>(text.size());
  return result;
}

// What ReadSecurity asks for: the discretionary list and the mandatory label.
constexpr uint32_t kReadParts = sys::kPartDacl | sys::kPartLabel;
// What ReadSecurityInto asks for: everything a file's owner may read without
// the privilege the system list needs.
constexpr uint32_t kReadIntoParts = sys::kPartOwner | sys::kPartGroup | sys::kPartDacl | sys::kPartLabel;

}  // namespace

ResultCode DirectoryEntryObject::FullPathInto(strings::PathScratchBuffer* out) const noexcept {
  core::GrowableBuffer<char16_t> full;
  RYL_RETURN_IF_FAILED(verbatim_ ? strings::JoinVerbatim(full.Output(), directory(), record_.Name())
                                 : strings::CombinePaths(full.Output(), directory(), record_.Name()));
  return out->Assign(full.data(), full.size());
}

ResultCode DirectoryEntryObject::AsSecurityObject(strings::PathScratchBuffer* path, sys::RylWinObject* out) const noexcept {
  RYL_RETURN_IF_FAILED(FullPathInto(path));
  *out = sys::RylWinObject{sys::kRylWinObjectFile, path->c_str(), nullptr};
  return RYL_OK;
}

ResultCode DirectoryEntryObject::Assign(const EntryRecord& record, strings::PathText directory, bool verbatim) noexcept {
  // The directory is copied first: it is the only step that can fail.
  if (directory.data() != directory_.data()) {
    RYL_RETURN_IF_FAILED(directory_.Assign(directory.data(), static_cast<uint32_t>(directory.size())));
  }
  record_ = record;
  verbatim_ = verbatim;
  return RYL_OK;
}

void* RYL_THISCALL DirectoryEntryObject::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<DirectoryEntry*>(this), kTypeId, kHighestVersion, type, version, outHighest);
}

void RYL_THISCALL DirectoryEntryObject::Destroy(const AllocatorRecord* allocator) {
  // The enumerator owns a lent entry; freeing it here would free memory in
  // the middle of the enumerator.
  if (lent_) return;
  core::DestroyPlainObject(this, allocator);
}

RylStringView* RYL_THISCALL DirectoryEntryObject::GetName(RylStringView* result) {
  return WriteView(result, record_.Name());
}

RylStringView* RYL_THISCALL DirectoryEntryObject::GetDirectory(RylStringView* result) {
  return WriteView(result, directory());
}

ResultCode RYL_THISCALL DirectoryEntryObject::GetFullPath(OutputBuffer* output) {
  return core::GuardEntry([&]() -> ResultCode {
    if (output == nullptr) return RYL_E_INVALID_ARG;
    return verbatim_ ? strings::JoinVerbatim(output, directory(), record_.Name())
                     : strings::CombinePaths(output, directory(), record_.Name());
  });
}

RylStringView* RYL_THISCALL DirectoryEntryObject::GetShortName(RylStringView* result) {
  return WriteView(result, record_.ShortName());
}

uint64_t RYL_THISCALL DirectoryEntryObject::GetCreationTime() { return record_.creationTime; }
uint64_t RYL_THISCALL DirectoryEntryObject::GetLastAccessTime() { return record_.lastAccessTime; }
uint64_t RYL_THISCALL DirectoryEntryObject::GetLastWriteTime() { return record_.lastWriteTime; }
uint64_t RYL_THISCALL DirectoryEntryObject::GetChangeTime() { return record_.changeTime; }
uint32_t RYL_THISCALL DirectoryEntryObject::GetEaSize() { return record_.eaSize; }
uint64_t RYL_THISCALL DirectoryEntryObject::GetSize() { return record_.Size(); }
uint64_t RYL_THISCALL DirectoryEntryObject::GetAttributes() { return record_.attributes; }

ResultCode RYL_THISCALL DirectoryEntryObject::ReadSecurity(RylSecurityObject* descriptor) {
  return core::GuardEntry([&]() -> ResultCode {
    if (descriptor == nullptr) return RYL_E_INVALID_ARG;
    strings::PathScratchBuffer path;
    sys::RylWinObject object{};
    RYL_RETURN_IF_FAILED(AsSecurityObject(&path, &object));
    return security::ReadSecurityDescriptorInto(object, kReadParts, descriptor);
  });
}

ResultCode RYL_THISCALL DirectoryEntryObject::ApplySecurity(RylSecurityObject* descriptor) {
  return core::GuardEntry([&]() -> ResultCode {
    if (descriptor == nullptr) return RYL_E_INVALID_ARG;
    const uint32_t parts = security::EffectiveParts(descriptor->GetPartsPresent());
    const void* source = descriptor->GetSecurityDescriptor();
    if (source == nullptr) return RYL_E_NOT_OPEN;
    // The host's object may be of its own making: its descriptor is taken
    // into the library's object, which checks it, before anything is opened.
    sys::RylWinSecurityDescriptor applied;
    RYL_RETURN_IF_FAILED(applied.SetFromSelfRelative(source, parts));
    strings::PathScratchBuffer path;
    sys::RylWinObject object{};
    RYL_RETURN_IF_FAILED(AsSecurityObject(&path, &object));
    sys::ScopedHandle handle;
    RYL_RETURN_IF_FAILED(security::OpenForSecurity(object, true, parts, &handle));
    return applied.SetDescriptorToObject(handle.get(), parts);
  });
}

ResultCode RYL_THISCALL DirectoryEntryObject::ReadSecurityInto(RylSecurityObject* descriptor) {
  return core::GuardEntry([&]() -> ResultCode {
    if (descriptor == nullptr) return RYL_E_INVALID_ARG;
    strings::PathScratchBuffer path;
    sys::RylWinObject object{};
    RYL_RETURN_IF_FAILED(AsSecurityObject(&path, &object));
    return security::ReadSecurityDescriptorInto(object, kReadIntoParts, descriptor);
  });
}

ResultCode RYL_THISCALL DirectoryEntryObject::WriteSecurity(RylSecurityObject* descriptor) {
  return core::GuardEntry([&]() -> ResultCode {
    if (descriptor == nullptr) return RYL_E_INVALID_ARG;
    strings::PathScratchBuffer path;
    sys::RylWinObject object{};
    RYL_RETURN_IF_FAILED(AsSecurityObject(&path, &object));
    return security::WriteSecurityDescriptor(descriptor, object);
  });
}

}  // namespace ryl::fs
