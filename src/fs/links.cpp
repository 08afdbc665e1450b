// Junctions and symbolic links through the native reparse-point control.
#include <atomic>
#include <vector>

#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "fs/nt_path.h"
#include "fs/reparse_data.h"
#include "fs/volume_operations.h"
#include "sys/environment.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

constexpr ULONG kSetReparsePoint = 0x000900A4;
constexpr ACCESS_MASK kLinkAccess = 0x00130116;  // DELETE, SYNCHRONIZE, READ_CONTROL, write data and attributes
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kDirectoryLinkOptions = 0x00204021;
constexpr ULONG kFileLinkOptions = 0x00204060;
constexpr ULONG kSymbolicLinkPrivilege = 35;
constexpr NTSTATUS kStatusNotAllAssigned = static_cast<NTSTATUS>(0x00000106L);

// Set after the first success and never cleared; two threads may both
// enable the privilege once, which does no harm.
std::atomic<bool> g_symbolicLinkPrivilegeEnabled{false};

ResultCode EnableSymbolicLinkPrivilege() noexcept {
  if (g_symbolicLinkPrivilegeEnabled.load(std::memory_order_acquire)) return RYL_OK;
  HANDLE token = nullptr;
  NTSTATUS status = ZwOpenProcessToken(reinterpret_cast<HANDLE>(-1), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY |
                                       TOKEN_ADJUST_GROUPS, &token);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  sys::ScopedHandle owned(token);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid.LowPart = kSymbolicLinkPrivilege;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  status = ZwAdjustPrivilegesToken(owned.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
  if (status == kStatusNotAllAssigned) return RYL_E_ACCESS_DENIED;
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  g_symbolicLinkPrivilegeEnabled.store(true, std::memory_order_release);
  return RYL_OK;
}

strings::PathText NativeText(const UNICODE_STRING& name) noexcept {
  return strings::PathText(reinterpret_cast<const char16_t*>(name.Buffer), name.Length / sizeof(WCHAR));
}

}  // namespace

ResultCode CreateLink(const char16_t* target, uint32_t targetLength, const char16_t* link, uint32_t linkLength,
                      bool isDirectory, bool forceJunction) noexcept {
  if (target == nullptr || link == nullptr) return RYL_E_INVALID_ARG;
  if (targetLength == kZeroTerminated) targetLength = static_cast<uint32_t>(std::char_traits<char16_t>::length(target));
  if (targetLength >= 0x8000) return RYL_E_INVALID_ARG;  // 0x10000 bytes or more
  const bool vista = sys::RylEnvironment::OsInfo::IsWindowsVistaOrHigher();
  if (!isDirectory && !vista) return RYL_E_UNSUPPORTED_VERSION;
  const bool junction = isDirectory && (forceJunction || !vista);
  const strings::PathText written(target, targetLength);

  sys::ScopedRtlUnicodeString converted;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(target, targetLength, &converted));
  std::vector<uint8_t> data;
  try {
    ResultCode built;
    if (junction) {
      built = BuildReparseData(kReparseTagMountPoint, NativeText(converted.get()), written, 0, &data);
    } else {
      const bool absolute = strings::IsAbsolutePath(written);
      built = BuildReparseData(kReparseTagSymbolicLink, absolute ? NativeText(converted.get()) : written, written,
                               absolute ? 0 : kSymbolicLinkRelative, &data);
    }
    RYL_RETURN_IF_FAILED(built);
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
  if (!junction) RYL_RETURN_IF_FAILED(EnableSymbolicLinkPrivilege());

  sys::ScopedRtlUnicodeString linkName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(link, linkLength, &linkName));
  sys::ScopedHandle file;
  NTSTATUS status = CreateNativeFileWith(
      &file, linkName.get(), kLinkAccess,
      FILE_ATTRIBUTE_REPARSE_POINT | (isDirectory ? FILE_ATTRIBUTE_DIRECTORY : 0), kShareAll, FILE_CREATE,
      isDirectory ? kDirectoryLinkOptions : kFileLinkOptions, nullptr);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  IO_STATUS_BLOCK iosb{};
  status = ZwFsControlFile(file.get(), nullptr, nullptr, nullptr, &iosb, kSetReparsePoint, data.data(),
                           static_cast<ULONG>(data.size()), nullptr, 0);
  if (!NT_SUCCESS(status)) {
    // The half-made link goes when its handle closes.
    (void)MarkForDeletion(file.get());
    return sys::RylResultFromNtStatus(status);
  }
  return sys::RylResultFromNtStatus(file.reset());
}

}  // namespace ryl::fs
