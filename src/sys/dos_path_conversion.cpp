#include "sys/dos_path_conversion.h"

#include <cstring>
#include <cwchar>

#include "sys/heap.h"
#include "sys/nt_file_path.h"
#include "sys/result_codes.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::sys {
namespace {

constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003AL);

// A zero-terminated piece of text on the process heap.
class HeapText {
 public:
  HeapText() noexcept = default;
  ~HeapText() { DefaultHeapFree(text_); }
  HeapText(const HeapText&) = delete;
  HeapText& operator=(const HeapText&) = delete;

  [[nodiscard]] bool Allocate(size_t length) noexcept {
    if (length >= 0x7FFFFFFFu / sizeof(WCHAR)) return false;
    text_ = static_cast<WCHAR*>(DefaultHeapAllocate((length + 1) * sizeof(WCHAR)));
    if (text_ != nullptr) text_[0] = L'\0';
    return text_ != nullptr;
  }
  WCHAR* get() const noexcept { return text_; }

 private:
  WCHAR* text_ = nullptr;
};

bool IsSeparator(WCHAR c) noexcept { return c == L'\\' || c == L'/'; }

bool IsDeviceNamespacePath(PCWSTR path, size_t length) noexcept {
  return length >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
         IsSeparator(path[3]);
}

ResultCode CopyUnchanged(PCWSTR path, UNICODE_STRING* out) noexcept {
  UNICODE_STRING copy{};
  if (!static_cast<BOOLEAN>(RtlCreateUnicodeString(&copy, path))) return RYL_E_OUT_OF_MEMORY;
  *out = copy;
  return RYL_OK;
}

ResultCode Convert(PCWSTR path, UNICODE_STRING* out) noexcept {
  UNICODE_STRING converted{};
  if (!RylRtlDosPathNameToNtPathName(path, &converted)) return RylResultFromNtStatus(kObjectPathNotFound);
  *out = converted;
  return RYL_OK;
}

// The directory part converted as usual, then the device-like name appended
// as a plain name. Trailing dots and spaces go, as they would from any other
// last name.
ResultCode ConvertAsFileInDirectory(PCWSTR path, size_t length, size_t nameOffset, UNICODE_STRING* out) noexcept {
  size_t nameEnd = length;
  while (nameEnd > nameOffset && (path[nameEnd - 1] == L'.' || path[nameEnd - 1] == L' ')) --nameEnd;
  const size_t nameLength = nameEnd - nameOffset;

  HeapText directory;
  // A bare device name lives in the current directory.
  const size_t directoryLength = nameOffset == 0 ? 1 : nameOffset;
  if (!directory.Allocate(directoryLength)) return RYL_E_OUT_OF_MEMORY;
  if (nameOffset == 0) {
    directory.get()[0] = L'.';
  } else {
    std::memcpy(directory.get(), path, nameOffset * sizeof(WCHAR));
  }
  directory.get()[directoryLength] = L'\0';

  ScopedRtlUnicodeString nativeDirectory;
  if (!RylRtlDosPathNameToNtPathName(directory.get(), nativeDirectory.Receive())) {
    return RylResultFromNtStatus(kObjectPathNotFound);
  }
  const size_t directoryUnits = nativeDirectory.size();
  const bool needsSeparator = directoryUnits == 0 || nativeDirectory.data()[directoryUnits - 1] != L'\\';

  HeapText joined;
  if (!joined.Allocate(directoryUnits + 1 + nameLength)) return RYL_E_OUT_OF_MEMORY;
  WCHAR* cursor = joined.get();
  std::memcpy(cursor, nativeDirectory.data(), directoryUnits * sizeof(WCHAR));
  cursor += directoryUnits;
  if (needsSeparator) *cursor++ = L'\\';
  std::memcpy(cursor, path + nameOffset, nameLength * sizeof(WCHAR));
  cursor[nameLength] = L'\0';
  return CopyUnchanged(joined.get(), out);
}

}  // namespace

ResultCode RylNtdll_RtlDosPathNameToNtPathName_U_EliminateDosDevice(PCWSTR dosPath, UNICODE_STRING* out) noexcept {
  if (dosPath == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  const size_t length = std::wcslen(dosPath);
  if (RylWinIsNtFilePath(reinterpret_cast<const char16_t*>(dosPath), static_cast<uint32_t>(length))) {
    return CopyUnchanged(dosPath, out);
  }
  // `\\.\con` and `\\?\...` already say exactly what they mean.
  if (IsDeviceNamespacePath(dosPath, length)) return Convert(dosPath, out);
  const ULONG device = RtlIsDosDeviceName_U(dosPath);
  if (device == 0) return Convert(dosPath, out);
  const size_t nameOffset = (device >> 16) / sizeof(WCHAR);
  if (nameOffset >= length) return Convert(dosPath, out);
  return ConvertAsFileInDirectory(dosPath, length, nameOffset, out);
}

}  // namespace ryl::sys
