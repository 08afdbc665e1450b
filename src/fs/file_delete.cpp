// Deleting one file.
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

// A link is opened as itself; a directory is refused by the native layer.
constexpr ULONG kDeleteOptions = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_NON_DIRECTORY_FILE;
// For file systems that refuse the reparse-point option.
constexpr ULONG kPlainDeleteOptions = FILE_OPEN_FOR_BACKUP_INTENT | FILE_NON_DIRECTORY_FILE;

NTSTATUS OpenForDelete(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share) noexcept {
  NTSTATUS status = OpenNativeFile(out, name, access, share, kDeleteOptions);
  if (status == kStatusInvalidParameter) status = OpenNativeFile(out, name, access, share, kPlainDeleteOptions);
  return status;
}

}  // namespace

NTSTATUS DeleteNtFile(const UNICODE_STRING& name, ULONG share, bool clearReadOnly) noexcept {
  sys::ScopedHandle file;
  NTSTATUS status = STATUS_UNSUCCESSFUL;
  if (clearReadOnly) {
    status = OpenForDelete(&file, name, DELETE | FILE_WRITE_ATTRIBUTES, share);
    if (NT_SUCCESS(status)) {
      // All-ones times keep every time as it is; NORMAL clears read-only.
      FILE_BASIC_INFORMATION info{};
      info.CreationTime.QuadPart = -1;
      info.LastAccessTime.QuadPart = -1;
      info.LastWriteTime.QuadPart = -1;
      info.ChangeTime.QuadPart = -1;
      info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      // A failure here shows as the failure of the deletion itself.
      (void)SetBasicInformation(file.get(), info);
    }
  }
  if (!NT_SUCCESS(status)) status = OpenForDelete(&file, name, DELETE, share);
  if (!NT_SUCCESS(status)) return status;
  status = MarkForDeletion(file.get());
  if (!NT_SUCCESS(status)) return status;
  // The file goes when this, its last handle of ours, closes.
  return file.reset();
}

ResultCode DeleteFile(const char16_t* path, uint32_t length, uint32_t flags) noexcept {
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPathForOpen(path, length, &name));
  const ULONG share = (flags & kDeleteExclusive) != 0 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  return sys::RylResultFromNtStatus(DeleteNtFile(name.get(), share, (flags & kDeleteClearReadOnly) != 0));
}

}  // namespace ryl::fs
