#include "sys/environment_variable.h"

#include <cstring>

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys::RylEnvironment {
namespace {

// A UNICODE_STRING counts bytes in 16 bits.
constexpr uint32_t kMaxUnits = 0xFFFEu / sizeof(WCHAR);

}  // namespace

ResultCode GetEnvironmentVar(const char16_t* name, RylWideStringRecord* target, uint32_t* outNeededSize) noexcept {
  if (name == nullptr || target == nullptr || (target->buffer == nullptr && target->capacity != 0)) {
    return RYL_E_INVALID_ARG;
  }
  size_t nameLength = 0;
  while (name[nameLength] != u'\0') ++nameLength;
  if (nameLength == 0 || nameLength > kMaxUnits) return RYL_E_INVALID_ARG;
  UNICODE_STRING nameString;
  nameString.Buffer = const_cast<PWSTR>(reinterpret_cast<PCWSTR>(name));
  nameString.Length = static_cast<USHORT>(nameLength * sizeof(WCHAR));
  nameString.MaximumLength = nameString.Length;

  // The routine copies the terminator only when it fits, so the value is
  // asked for without it and terminated here.
  const uint32_t offered = target->capacity < kMaxUnits ? target->capacity : kMaxUnits;
  UNICODE_STRING value;
  value.Buffer = reinterpret_cast<PWSTR>(target->buffer);
  value.Length = 0;
  value.MaximumLength = static_cast<USHORT>(offered * sizeof(WCHAR));
  // A record without storage has no room even for the terminator: it only
  // learns the size.
  wchar_t none[1];
  if (value.Buffer == nullptr) value.Buffer = none;

  const NTSTATUS status = RtlQueryEnvironmentVariable_U(nullptr, &nameString, &value);
  if (status == STATUS_VARIABLE_NOT_FOUND) return kVariableNotSet;
  if (status == STATUS_BUFFER_TOO_SMALL || (status == STATUS_SUCCESS && value.Length > offered * sizeof(WCHAR)) ||
      (status == STATUS_SUCCESS && target->buffer == nullptr)) {
    if (outNeededSize != nullptr) *outNeededSize = value.Length / sizeof(WCHAR) + 1;
    return RYL_E_OUT_OF_RANGE;
  }
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  target->length = value.Length / sizeof(WCHAR);
  target->buffer[target->length] = u'\0';
  return RYL_OK;
}

}  // namespace ryl::sys::RylEnvironment
