// Removing a directory, alone or with everything in it, and moving one.
#include <memory>
#include <string>

#include "core/result_helpers.h"
#include "fs/directory_enumeration.h"
#include "fs/directory_operations.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "fs/nt_path.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ACCESS_MASK kRemoveAccess = DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kPlainRemoveAccess = DELETE | SYNCHRONIZE;
constexpr ULONG kAsLinkOptions =
    FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_DIRECTORY_FILE;
constexpr ULONG kPlainOptions = FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_DIRECTORY_FILE;
constexpr NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002L);
constexpr NTSTATUS kStatusReparseTagNotHandled = static_cast<NTSTATUS>(0xC0000279L);
constexpr NTSTATUS kStatusNameTooLong = static_cast<NTSTATUS>(0xC0000106L);
constexpr ULONG kTagMountPoint = 0xA0000003;
constexpr ULONG kTagSymbolicLink = 0xA000000C;

// The attributes and reparse tag of an open file; *known is false when the
// file system cannot tell (it then has no reparse points to tell of).
NTSTATUS QueryTag(HANDLE file, FILE_ATTRIBUTE_TAG_INFORMATION* out, bool* known) noexcept {
  IO_STATUS_BLOCK iosb{};
  *out = FILE_ATTRIBUTE_TAG_INFORMATION{};
  const NTSTATUS status = ZwQueryInformationFile(file, &iosb, out, sizeof *out, FileAttributeTagInformation);
  *known = NT_SUCCESS(status);
  if (status == kStatusNotImplemented || status == kStatusInvalidParameter) return STATUS_SUCCESS;
  return status;
}

// A directory opened for removal or renaming: a junction or a directory
// symbolic link as the link itself, any other directory plainly.
NTSTATUS OpenDirectoryForRemoval(sys::ScopedHandle* out, const UNICODE_STRING& name) noexcept {
  NTSTATUS status = OpenNativeFile(out, name, kRemoveAccess, kShareAll, kAsLinkOptions);
  if (status == kStatusInvalidParameter) return OpenNativeFile(out, name, kPlainRemoveAccess, kShareAll, kPlainOptions);
  if (!NT_SUCCESS(status)) return status;
  FILE_ATTRIBUTE_TAG_INFORMATION tag;
  bool known = false;
  status = QueryTag(out->get(), &tag, &known);
  if (!NT_SUCCESS(status)) return status;
  if (known && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (tag.ReparseTag == kTagMountPoint || tag.ReparseTag == kTagSymbolicLink)) {
    return STATUS_SUCCESS;
  }
  sys::ScopedHandle plain;
  status = OpenNativeFile(&plain, name, kRemoveAccess, kShareAll, kPlainOptions);
  // A reparse point no filter handles can only be opened as itself.
  if (status == kStatusReparseTagNotHandled) return STATUS_SUCCESS;
  if (!NT_SUCCESS(status)) return status;
  *out = std::move(plain);
  return STATUS_SUCCESS;
}

NTSTATUS DeleteOpenFile(sys::ScopedHandle* file) noexcept {
  const NTSTATUS status = MarkForDeletion(file->get());
  if (!NT_SUCCESS(status)) return status;
  return file->reset();
}

// A native name over a growing text; a UNICODE_STRING holds at most 32767
// units.
class NtName {
 public:
  explicit NtName(const UNICODE_STRING& root)
      : text_(reinterpret_cast<const char16_t*>(root.Buffer), root.Length / sizeof(WCHAR)) {}
  NTSTATUS Push(strings::PathText name, size_t* outMark) {
    *outMark = text_.size();
    if (text_.size() + 1 + name.size() > 32767) return kStatusNameTooLong;
    if (text_.empty() || text_.back() != u'\\') text_ += u'\\';
    text_.append(name.data(), name.size());
    return STATUS_SUCCESS;
  }
  void Pop(size_t mark) { text_.resize(mark); }
  UNICODE_STRING Get() noexcept {
    UNICODE_STRING name;
    name.Buffer = reinterpret_cast<PWSTR>(text_.data());
    name.Length = static_cast<USHORT>(text_.size() * sizeof(WCHAR));
    name.MaximumLength = name.Length;
    return name;
  }

 private:
  std::u16string text_;
};

struct TreeRemoval {
  ULONG fileShare;
  bool clearReadOnly;
};

// Removes the directory of that native name and everything in it. The
// directory is opened as itself (never through a link), its attributes are
// checked on that handle, and it is listed through that same handle: a
// reparse point of any kind is removed as itself and not entered. Frames
// stay small (the listing lives on the heap), so deep trees do not exhaust
// a thread's stack.
ResultCode RemoveTree(NtName& name, const TreeRemoval& how) {
  sys::ScopedHandle directory;
  const UNICODE_STRING current = name.Get();
  constexpr ACCESS_MASK kTreeAccess = kRemoveAccess | FILE_LIST_DIRECTORY;
  NTSTATUS status = OpenNativeFile(&directory, current, kTreeAccess, kShareAll, kAsLinkOptions);
  bool reparseAware = true;
  if (status == kStatusInvalidParameter) {
    reparseAware = false;
    status = OpenNativeFile(&directory, current, kTreeAccess, kShareAll, kPlainOptions);
  }
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  if (reparseAware) {
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    bool known = false;
    status = QueryTag(directory.get(), &tag, &known);
    if (NT_SUCCESS(status) && known && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      status = DeleteOpenFile(&directory);
    }
    if (!NT_SUCCESS(status) || !directory.valid()) return sys::RylResultFromNtStatus(status);
  }
  auto listing = std::make_unique<DirectoryEnumeration>();
  ResultCode listed = listing->OpenOnHandle(directory.get(), strings::PathText(), strings::PathText(),
                                            kEnumerateDirectories | kEnumerateFiles | kEnumerateReparsePoints, false);
  while (listed == RYL_OK) {
    const EntryRecord& entry = listing->current();
    size_t mark = 0;
    status = name.Push(entry.Name(), &mark);
    if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
    const UNICODE_STRING child = name.Get();
    ResultCode removed;
    if ((entry.attributes & kAttributeReparsePoint) != 0) {
      // A link of any kind, to a file or a directory, goes as itself.
      sys::ScopedHandle link;
      const ULONG kind = (entry.attributes & kAttributeDirectory) != 0 ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
      status = OpenNativeFile(&link, child, DELETE | SYNCHRONIZE, kShareAll,
                              FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT | kind);
      if (NT_SUCCESS(status)) status = DeleteOpenFile(&link);
      removed = sys::RylResultFromNtStatus(status);
    } else if ((entry.attributes & kAttributeDirectory) != 0) {
      removed = RemoveTree(name, how);
    } else {
      removed = sys::RylResultFromNtStatus(DeleteNtFile(child, how.fileShare, how.clearReadOnly));
    }
    name.Pop(mark);
    RYL_RETURN_IF_FAILED(removed);
    listed = listing->MoveNext();
  }
  RYL_RETURN_IF_FAILED(listed);
  listing.reset();
  return sys::RylResultFromNtStatus(DeleteOpenFile(&directory));
}

}  // namespace

ResultCode RemoveDirectory(const char16_t* path, uint32_t length, bool recursive, uint32_t deleteFlags) {
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  if (!recursive) {
    sys::ScopedHandle directory;
    NTSTATUS status = OpenDirectoryForRemoval(&directory, name.get());
    if (NT_SUCCESS(status)) status = DeleteOpenFile(&directory);
    return sys::RylResultFromNtStatus(status);
  }
  const TreeRemoval how{(deleteFlags & kDeleteExclusive) != 0 ? 0u : kShareAll,
                        (deleteFlags & kDeleteClearReadOnly) != 0};
  NtName tree(name.get());
  return RemoveTree(tree, how);
}

ResultCode MoveDirectory(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                         uint32_t targetLength) noexcept {
  sys::ScopedRtlUnicodeString sourceName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(source, sourceLength, &sourceName));
  sys::ScopedRtlUnicodeString targetName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(target, targetLength, &targetName));
  sys::ScopedHandle directory;
  NTSTATUS status = OpenDirectoryForRemoval(&directory, sourceName.get());
  if (NT_SUCCESS(status)) status = SetNameInformation(directory.get(), FileRenameInformation, targetName.get(), false);
  return sys::RylResultFromNtStatus(status);
}

}  // namespace ryl::fs
