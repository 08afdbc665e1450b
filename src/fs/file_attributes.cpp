// Attribute queries and writes, and the existence tests built on them.
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "sys/result_codes.h"

namespace ryl::fs {

ResultCode GetAttributes(const char16_t* path, uint32_t length, uint32_t* outAttributes) noexcept {
  if (outAttributes == nullptr) return RYL_E_INVALID_ARG;
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  NativeObjectAttributes attributes(name.get());
  FILE_BASIC_INFORMATION info{};
  const NTSTATUS status = ZwQueryAttributesFile(attributes.get(), &info);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  *outAttributes = info.FileAttributes;
  return RYL_OK;
}

ResultCode SetAttributes(const char16_t* path, uint32_t length, uint32_t attributes) noexcept {
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPathForOpen(path, length, &name));
  sys::ScopedHandle file;
  // The attributes of a link itself, not of what it points to.
  NTSTATUS status = OpenNativeFile(&file, name.get(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN_REPARSE_POINT);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  FILE_BASIC_INFORMATION info{};
  info.CreationTime.QuadPart = kKeepTime;
  info.LastAccessTime.QuadPart = kKeepTime;
  info.LastWriteTime.QuadPart = kKeepTime;
  info.ChangeTime.QuadPart = kKeepTime;
  info.FileAttributes = attributes;
  status = SetBasicInformation(file.get(), info);
  return sys::RylResultFromNtStatus(status);
}

ResultCode FileExists(const char16_t* path, uint32_t length) noexcept {
  uint32_t attributes = 0;
  const ResultCode rc = GetAttributes(path, length, &attributes);
  if (rc == RYL_E_PATH_NOT_FOUND) return RYL_E_FILE_NOT_FOUND;
  RYL_RETURN_IF_FAILED(rc);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RYL_E_FILE_NOT_FOUND : RYL_OK;
}

ResultCode DirectoryExists(const char16_t* path, uint32_t length) noexcept {
  uint32_t attributes = 0;
  const ResultCode rc = GetAttributes(path, length, &attributes);
  if (rc == RYL_E_FILE_NOT_FOUND) return RYL_E_PATH_NOT_FOUND;
  RYL_RETURN_IF_FAILED(rc);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RYL_OK : RYL_E_PATH_NOT_FOUND;
}

}  // namespace ryl::fs
