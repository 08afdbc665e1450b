#include "fs/native_file.h"

#include <cstddef>
#include <cstring>

#include "core/result_helpers.h"
#include "fs/nt_path.h"
#include "strings/path_scratch_buffer.h"
#include "sys/dos_path_conversion.h"
#include "sys/heap.h"

namespace ryl::fs {
namespace {

ResultCode CopyTerminated(const char16_t* path, uint32_t length, strings::PathScratchBuffer* out) noexcept {
  if (path == nullptr) return RYL_E_INVALID_ARG;
  const std::u16string_view text = core::HostText(path, length);
  return out->Assign(text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace

ResultCode HostPathToNtPath(const char16_t* path, uint32_t length, sys::ScopedRtlUnicodeString* out) noexcept {
  strings::PathScratchBuffer text;
  RYL_RETURN_IF_FAILED(CopyTerminated(path, length, &text));
  return ConvertToNtPath(out, text.c_str(), text.size());
}

ResultCode HostPathToNtPathForOpen(const char16_t* path, uint32_t length, sys::ScopedRtlUnicodeString* out) noexcept {
  strings::PathScratchBuffer text;
  RYL_RETURN_IF_FAILED(CopyTerminated(path, length, &text));
  UNICODE_STRING converted{};
  RYL_RETURN_IF_FAILED(sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(text.c_str(), &converted));
  *out->Receive() = converted;
  return RYL_OK;
}

NTSTATUS OpenNativeFile(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share,
                        ULONG options) noexcept {
  NativeObjectAttributes attributes(name);
  IO_STATUS_BLOCK iosb{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ZwOpenFile(&handle, access, attributes.get(), &iosb, share, options);
  if (NT_SUCCESS(status)) out->reset(handle);
  return status;
}

NTSTATUS CreateNativeFile(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access, ULONG share,
                          ULONG disposition, ULONG options) noexcept {
  return CreateNativeFileWith(out, name, access, 0, share, disposition, options, nullptr);
}

NTSTATUS CreateNativeFileWith(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access,
                              ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options,
                              void* securityDescriptor) noexcept {
  NativeObjectAttributes attributes(name, securityDescriptor);
  IO_STATUS_BLOCK iosb{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ZwCreateFile(&handle, access, attributes.get(), &iosb, nullptr, fileAttributes, share,
                                       disposition, options, nullptr, 0);
  if (NT_SUCCESS(status)) out->reset(handle);
  return status;
}

NTSTATUS QueryBasicInformation(HANDLE file, FILE_BASIC_INFORMATION* out) noexcept {
  IO_STATUS_BLOCK iosb{};
  return ZwQueryInformationFile(file, &iosb, out, sizeof *out, FileBasicInformation);
}

NTSTATUS SetBasicInformation(HANDLE file, const FILE_BASIC_INFORMATION& info) noexcept {
  IO_STATUS_BLOCK iosb{};
  FILE_BASIC_INFORMATION copy = info;
  return ZwSetInformationFile(file, &iosb, &copy, sizeof copy, FileBasicInformation);
}

NTSTATUS QueryStandardInformation(HANDLE file, FILE_STANDARD_INFORMATION* out) noexcept {
  IO_STATUS_BLOCK iosb{};
  return ZwQueryInformationFile(file, &iosb, out, sizeof *out, FileStandardInformation);
}

NTSTATUS MarkForDeletion(HANDLE file) noexcept {
  IO_STATUS_BLOCK iosb{};
  FILE_DISPOSITION_INFORMATION disposition{};
  disposition.DoDeleteFile = TRUE;
  return ZwSetInformationFile(file, &iosb, &disposition, sizeof disposition, FileDispositionInformation);
}

NTSTATUS SetNameInformation(HANDLE file, FILE_INFORMATION_CLASS kind, const UNICODE_STRING& name,
                            bool replaceIfExists) noexcept {
  static_assert(offsetof(FILE_RENAME_INFORMATION, FileName) == offsetof(FILE_LINK_INFORMATION, FileName));
  const size_t size = offsetof(FILE_RENAME_INFORMATION, FileName) + name.Length;
  auto* info = static_cast<FILE_RENAME_INFORMATION*>(sys::DefaultHeapAllocate(size));
  if (info == nullptr) return STATUS_NO_MEMORY;
  info->ReplaceIfExists = replaceIfExists ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = name.Length;
  std::memcpy(info->FileName, name.Buffer, name.Length);
  IO_STATUS_BLOCK iosb{};
  const NTSTATUS status = ZwSetInformationFile(file, &iosb, info, static_cast<ULONG>(size), kind);
  sys::DefaultHeapFree(info);
  return status;
}

}  // namespace ryl::fs
