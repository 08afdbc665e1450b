// Reading and writing the four file times.
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

LONGLONG NativeTime(uint64_t time) noexcept { return time == kTimeUnchanged ? kKeepTime : static_cast<LONGLONG>(time); }

}  // namespace

ResultCode SetFileTimes(const char16_t* path, uint32_t length, const FileTimes& times,
                        bool attributesOnlyAccess) noexcept {
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  const ACCESS_MASK access =
      attributesOnlyAccess ? FILE_WRITE_ATTRIBUTES : FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
  sys::ScopedHandle file;
  NTSTATUS status = CreateNativeFile(&file, name.get(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);

  FILE_BASIC_INFORMATION info{};
  info.CreationTime.QuadPart = NativeTime(times.creation);
  info.LastAccessTime.QuadPart = NativeTime(times.lastAccess);
  info.LastWriteTime.QuadPart = NativeTime(times.lastWrite);
  info.FileAttributes = 0;
  if (attributesOnlyAccess) {
    info.ChangeTime.QuadPart = kKeepTime;
  } else if (times.change != kTimeUnchanged) {
    info.ChangeTime.QuadPart = static_cast<LONGLONG>(times.change);
  } else {
    // Writing the other times would move the change time on; writing the
    // current one back keeps it.
    FILE_BASIC_INFORMATION current{};
    status = QueryBasicInformation(file.get(), &current);
    if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
    info.ChangeTime = current.ChangeTime;
  }
  return sys::RylResultFromNtStatus(SetBasicInformation(file.get(), info));
}

ResultCode GetFileTimes(const char16_t* path, uint32_t length, FileTimes* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  sys::ScopedHandle file;
  NTSTATUS status =
      CreateNativeFile(&file, name.get(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  FILE_BASIC_INFORMATION info{};
  status = QueryBasicInformation(file.get(), &info);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  out->creation = static_cast<uint64_t>(info.CreationTime.QuadPart);
  out->lastAccess = static_cast<uint64_t>(info.LastAccessTime.QuadPart);
  out->lastWrite = static_cast<uint64_t>(info.LastWriteTime.QuadPart);
  out->change = static_cast<uint64_t>(info.ChangeTime.QuadPart);
  return RYL_OK;
}

}  // namespace ryl::fs
