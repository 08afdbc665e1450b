#include "sys/win_security.h"

#include "sys/dos_path_conversion.h"
#include "sys/native_api.h"
#include "sys/native_object_attributes.h"
#include "sys/result_codes.h"
#include "sys/scoped_handle.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::sys::RylWinSecurity {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

ResultCode VolumeKeepsAccessLists(const char16_t* dosPath, bool* outSupported) noexcept {
  ScopedRtlUnicodeString name;
  const ResultCode converted = RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(dosPath, name.Receive());
  if (converted < 0) return converted;
  NativeObjectAttributes attributes(name.get());
  IO_STATUS_BLOCK iosb{};
  ScopedHandle file;
  // The volume query needs no access right beyond waiting on the handle.
  NTSTATUS status = ZwOpenFile(file.receive(), SYNCHRONIZE, attributes.get(), &iosb, kShareAll,
                               FILE_SYNCHRONOUS_IO_NONALERT);
  if (status < 0) return RylResultFromNtStatus(status);
  // Room for the fixed part and a file-system name; a longer name only cuts
  // the name short (STATUS_BUFFER_OVERFLOW), the attributes are complete.
  union {
    FILE_FS_ATTRIBUTE_INFORMATION info;
    uint8_t bytes[sizeof(FILE_FS_ATTRIBUTE_INFORMATION) + 64 * sizeof(WCHAR)];
  } buffer{};
  status = ZwQueryVolumeInformationFile(file.get(), &iosb, &buffer, sizeof buffer, FileFsAttributeInformation);
  if (status < 0 && status != STATUS_BUFFER_OVERFLOW) return RylResultFromNtStatus(status);
  *outSupported = (buffer.info.FileSystemAttributes & FILE_PERSISTENT_ACLS) != 0;
  return RYL_OK;
}

}  // namespace

ResultCode IsACLSupportedOnObject(const RylWinObject& object, bool* outSupported) noexcept {
  if (outSupported == nullptr) return RYL_E_INVALID_ARG;
  if (object.kind == kRylWinObjectRegistryKey) {
    *outSupported = true;
    return RYL_OK;
  }
  if (!IsFileObjectKind(object.kind)) return RYL_E_UNSUPPORTED_VERSION;
  if (object.path == nullptr) return RYL_E_INVALID_ARG;
  return VolumeKeepsAccessLists(object.path, outSupported);
}

}  // namespace ryl::sys::RylWinSecurity
