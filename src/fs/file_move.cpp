// Moving one file: a rename within its volume, a copy and a delete across
// volumes.
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ACCESS_MASK kMoveAccess = DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES;

// Opens the source for renaming. A symbolic link is opened as the file it
// points to, so that it moves as that file; a junction (mount point) is
// opened as itself.
NTSTATUS OpenSource(sys::ScopedHandle* out, const UNICODE_STRING& name, bool replace) noexcept {
  const ULONG options = FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT | (replace ? FILE_WRITE_THROUGH : 0);
  NTSTATUS status = OpenNativeFile(out, name, kMoveAccess, kShareAll, options | FILE_OPEN_REPARSE_POINT);
  if (status == kStatusInvalidParameter) {
    // A file system without reparse points.
    return OpenNativeFile(out, name, DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, options);
  }
  if (!NT_SUCCESS(status)) return status;
  FILE_ATTRIBUTE_TAG_INFORMATION tag{};
  IO_STATUS_BLOCK iosb{};
  if (NT_SUCCESS(ZwQueryInformationFile(out->get(), &iosb, &tag, sizeof tag, FileAttributeTagInformation)) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      tag.ReparseTag != static_cast<ULONG>(IO_REPARSE_TAG_MOUNT_POINT)) {
    out->reset();
    status = OpenNativeFile(out, name, kMoveAccess, kShareAll, options);
  }
  return status;
}

}  // namespace

ResultCode MoveFile(const char16_t* source, uint32_t sourceLength, const char16_t* target, uint32_t targetLength,
                    bool doNotReplace) noexcept {
  sys::ScopedRtlUnicodeString sourceName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(source, sourceLength, &sourceName));
  sys::ScopedRtlUnicodeString targetName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(target, targetLength, &targetName));

  sys::ScopedHandle file;
  NTSTATUS status = OpenSource(&file, sourceName.get(), !doNotReplace);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  status = SetNameInformation(file.get(), FileRenameInformation, targetName.get(), !doNotReplace);
  if (status != STATUS_NOT_SAME_DEVICE) return sys::RylResultFromNtStatus(status);

  // Another volume: the source must be closed before it can be deleted. A
  // failed copy leaves the source as it was and no target behind; a failed
  // delete leaves both, and says so.
  file.reset();
  const ResultCode copied = CopyFile(source, sourceLength, target, targetLength, doNotReplace, true);
  RYL_RETURN_IF_FAILED(copied);
  RYL_RETURN_IF_FAILED(DeleteFile(source, sourceLength, 0));
  return copied;
}

}  // namespace ryl::fs
