#include "fs/find_entry.h"

#include "core/delivery.h"
#include "core/growable_buffer.h"
#include "core/result_helpers.h"
#include "fs/directory_entry.h"
#include "fs/nt_path.h"

namespace ryl::fs {

ResultCode LookUpEntry(strings::PathText path, DirectoryEnumeration* enumeration) noexcept {
  if (enumeration == nullptr) return RYL_E_INVALID_ARG;
  strings::PathText parent;
  strings::PathText name;
  core::GrowableBuffer<char16_t> full;
  if (strings::SplitParentAndName(path, &parent, &name) < 0) {
    // A relative name without a directory part lives in the current directory.
    if (strings::IsAbsolutePath(path)) return RYL_E_INVALID_ARG;
    if (GetFullPath(full.Output(), path) < 0) return RYL_E_INVALID_ARG;
    if (strings::SplitParentAndName(strings::PathText(full.data(), full.size()), &parent, &name) < 0) return RYL_E_INVALID_ARG;
  }
  RYL_RETURN_IF_FAILED(enumeration->Open(parent, name, kEnumerateAll));
  return enumeration->positioned() ? RYL_OK : RYL_E_FILE_NOT_FOUND;
}

ResultCode FindEntry(const ObjectReceiver* receiver, strings::PathText path) noexcept {
  RYL_RETURN_IF_FAILED(core::CheckCreateVersion(receiver, DirectoryEntryObject::kHighestVersion));
  DirectoryEnumeration enumeration;
  RYL_RETURN_IF_FAILED(LookUpEntry(path, &enumeration));
  return core::CreateAndDeliver<DirectoryEntryObject>(
      receiver, core::Placement::kReceiverAllocator, [&](DirectoryEntryObject& entry) {
        return entry.Assign(enumeration.current(), enumeration.directory(), enumeration.verbatim());
      });
}

}  // namespace ryl::fs
