// The size of one file.
#include "core/host_text.h"
#include "core/result_helpers.h"
#include "fs/directory_enumeration.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "strings/path_text.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

// A file that cannot be opened (held without sharing, or beyond what the path
// conversion reaches) can still be listed: its directory entry carries the
// size. firstFailure stands when no listing can be made.
ResultCode SizeFromDirectoryEntry(strings::PathText path, ResultCode firstFailure, uint64_t* outSize) noexcept {
  strings::PathText parent;
  strings::PathText name;
  if (strings::SplitParentAndName(path, &parent, &name) < 0) return firstFailure;
  DirectoryEnumeration listing;
  const ResultCode rc = listing.Open(parent, name, kEnumerateAll);
  if (rc < 0) return firstFailure;
  if (rc == RYL_S_NO_MORE_ITEMS || !listing.positioned()) return RYL_E_FILE_NOT_FOUND;
  *outSize = listing.current().Size();
  return RYL_OK;
}

}  // namespace

ResultCode GetFileSize(const char16_t* path, uint32_t length, uint64_t* outSize) noexcept {
  if (outSize == nullptr) return RYL_E_INVALID_ARG;
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  sys::ScopedHandle file;
  NTSTATUS status =
      CreateNativeFile(&file, name.get(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0);
  if (NT_SUCCESS(status)) {
    FILE_STANDARD_INFORMATION standard{};
    status = QueryStandardInformation(file.get(), &standard);
    if (NT_SUCCESS(status)) {
      *outSize = standard.Directory ? 0 : static_cast<uint64_t>(standard.EndOfFile.QuadPart);
      return RYL_OK;
    }
  }
  return SizeFromDirectoryEntry(core::HostText(path, length), sys::RylResultFromNtStatus(status), outSize);
}

}  // namespace ryl::fs
