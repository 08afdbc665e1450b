#include "security/open_for_security.h"

#include "security/security_parts.h"
#include "sys/current_transaction.h"
#include "sys/dos_path_conversion.h"
#include "sys/environment.h"
#include "sys/native_api.h"
#include "sys/native_object_attributes.h"
#include "sys/result_codes.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::security {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr uint32_t kLargestNameBytes = 0xFFFC;

ResultCode OpenFile(const char16_t* dosPath, uint32_t access, sys::ScopedHandle* out) noexcept {
  sys::ScopedRtlUnicodeString name;
  const ResultCode converted = sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(dosPath, name.Receive());
  if (converted < 0) return converted;
  sys::NativeObjectAttributes attributes(name.get());
  IO_STATUS_BLOCK iosb{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ZwOpenFile(&handle, access, attributes.get(), &iosb, kShareAll, 0);
  if (status < 0) return sys::RylResultFromNtStatus(status);
  out->reset(handle);
  return RYL_OK;
}

// A name longer than a counted string can hold is refused: cutting it short
// would name a different key.
ResultCode KeyName(const char16_t* path, UNICODE_STRING* out) noexcept {
  uint32_t units = 0;
  while (path[units] != 0) {
    if (++units * sizeof(char16_t) > kLargestNameBytes) return RYL_E_INVALID_ARG;
  }
  const auto bytes = static_cast<USHORT>(units * sizeof(char16_t));
  *out = UNICODE_STRING{bytes, bytes, reinterpret_cast<PWSTR>(const_cast<char16_t*>(path))};
  return RYL_OK;
}

// The 64-bit view of the registry is asked for whenever the system is a
// 64-bit one (architecture code 2 or 3), as the registry service does.
uint32_t KeyOpenAccess(uint32_t access, uint32_t systemArchitecture) noexcept {
  const bool is64BitSystem = systemArchitecture == 2 || systemArchitecture == 3;
  return is64BitSystem ? access | KEY_WOW64_64KEY : access;
}

ResultCode OpenKey(const sys::RylWinObject& object, uint32_t access, sys::ScopedHandle* out) noexcept {
  UNICODE_STRING name;
  if (const ResultCode rc = KeyName(object.path, &name); rc < 0) return rc;
  sys::NativeObjectAttributes attributes(name);
  HANDLE handle = nullptr;
  NTSTATUS status;
  if (object.transaction == nullptr) {
    const uint32_t architecture = sys::RylEnvironment::GetOsInfoData().systemArchitecture;
    status = ZwOpenKey(&handle, KeyOpenAccess(access, architecture), attributes.get());
  } else {
    if (!IsVistaOrHigher()) return RYL_E_UNSUPPORTED_VERSION;
    void* previous = sys::RylNtdll_RtlGetCurrentTransaction();
    if (const ResultCode rc = sys::RylNtdll_RtlSetCurrentTransaction(object.transaction); rc < 0) return rc;
    status = ZwOpenKey(&handle, access, attributes.get());
    // Setting succeeded, so putting the previous one back cannot be refused.
    (void)sys::RylNtdll_RtlSetCurrentTransaction(previous);
  }
  if (status < 0) return sys::RylResultFromNtStatus(status);
  out->reset(handle);
  return RYL_OK;
}

}  // namespace

ResultCode OpenForSecurity(const sys::RylWinObject& object, bool forWriting, uint32_t parts,
                           sys::ScopedHandle* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  const bool isFile = sys::IsFileObjectKind(object.kind);
  if (!isFile && object.kind != sys::kRylWinObjectRegistryKey) return RYL_E_UNSUPPORTED_VERSION;
  if (object.path == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t effective = EffectiveParts(parts);
  const uint32_t access = forWriting ? AccessForWriting(effective) : AccessForReading(effective);
  return isFile ? OpenFile(object.path, access, out) : OpenKey(object, access, out);
}

}  // namespace ryl::security
