// A second name for an existing file.
#include "core/host_text.h"
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "strings/path_text.h"
#include "sys/result_codes.h"

namespace ryl::fs {

ResultCode CreateHardLink(const char16_t* existing, uint32_t existingLength, const char16_t* link,
                          uint32_t linkLength) noexcept {
  if (existing == nullptr || link == nullptr) return RYL_E_INVALID_ARG;
  if (!strings::IsAbsolutePath(core::HostText(existing, existingLength)) || !strings::IsAbsolutePath(core::HostText(link, linkLength))) {
    return RYL_E_INVALID_ARG;
  }
  sys::ScopedRtlUnicodeString existingName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(existing, existingLength, &existingName));
  sys::ScopedRtlUnicodeString linkName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(link, linkLength, &linkName));

  sys::ScopedHandle file;
  NTSTATUS status = CreateNativeFile(
      &file, existingName.get(), SYNCHRONIZE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      FILE_OPEN, FILE_OPEN_FOR_BACKUP_INTENT | FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);

  status = SetNameInformation(file.get(), FileLinkInformation, linkName.get(), false);
  return sys::RylResultFromNtStatus(status);
}

}  // namespace ryl::fs
