#include "fs/nt_path.h"

#include "core/output_writer.h"
#include "core/result_helpers.h"
#include "sys/guid_utils.h"
#include "sys/native_api.h"
#include "sys/nt_file_path.h"
#include "sys/result_codes.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::fs {
namespace {

constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
// Network paths this long or longer only survive in the verbatim form.
constexpr uint32_t kLongPathLength = 260;
constexpr char16_t kVerbatimPrefix[] = u"\\\\?\\";
constexpr char16_t kVerbatimUncPrefix[] = u"\\\\?\\UNC\\";
// Far more attempts than a directory changing under our feet can need; the
// bound only keeps a pathological race from spinning for ever.
constexpr int kSizeRaceAttempts = 8;

PCWSTR AsNative(const char16_t* text) noexcept { return reinterpret_cast<PCWSTR>(text); }
PWSTR AsNative(char16_t* text) noexcept { return reinterpret_cast<PWSTR>(text); }
strings::PathText ViewOf(const strings::PathScratchBuffer& buffer) noexcept { return strings::PathText(buffer.data(), buffer.size()); }

bool StartsWithTwoSeparators(strings::PathText text) noexcept {
  return text.size() >= 2 && strings::IsPathSeparator(text[0]) && strings::IsPathSeparator(text[1]);
}

// `\\?\...` and `\\.\...`: already a device-namespace path.
bool IsDeviceNamespacePath(strings::PathText text) noexcept {
  return text.size() >= 4 && StartsWithTwoSeparators(text) && (text[2] == u'?' || text[2] == u'.') &&
         strings::IsPathSeparator(text[3]);
}

// RtlGetFullPathName_U into *out, which already has room for its whole
// capacity; when the answer does not fit, the buffer grows to the size the
// routine asks for and the call is repeated.
ResultCode FullPathInto(strings::PathScratchBuffer* out, const char16_t* zeroTerminated) noexcept {
  for (int attempt = 0; attempt < kSizeRaceAttempts; ++attempt) {
    const ULONG offered = out->capacity() * sizeof(WCHAR);
    const ULONG answered = RtlGetFullPathName_U(AsNative(zeroTerminated), offered, AsNative(out->data()), nullptr);
    if (answered < sizeof(WCHAR)) return RYL_E_INVALID_PATH;
    if (answered < offered) return out->Resize(answered / sizeof(WCHAR));
    // The answer is the size needed, terminator included.
    RYL_RETURN_IF_FAILED(out->Reserve(answered / sizeof(WCHAR)));
  }
  return RYL_E_INVALID_PATH;
}

// The full path of a path whose last name may be a reserved device name,
// keeping that name a file name: a unique marker glued to the device name
// makes the full-path routine see an ordinary name, and is taken out again.
ResultCode BuildFullPathVerbatim(strings::PathScratchBuffer* out, strings::PathScratchBuffer* text) noexcept {
  // `\\.\con` asks for the device by its device-namespace name; the
  // routine still reports it as a device name, but there is nothing to keep.
  const ULONG device = IsDeviceNamespacePath(ViewOf(*text)) ? 0 : RtlIsDosDeviceName_U(AsNative(text->c_str()));
  char16_t marker[sys::RylGuidUtils::kTextLength];
  if (device != 0) {
    sys::RylGuid guid;
    RYL_RETURN_IF_FAILED(sys::RylGuidUtils::CreateLuid(&guid));
    sys::RylGuidUtils::GetString(guid, marker);
    const uint32_t afterName = ((device >> 16) + (device & 0xFFFFu)) / sizeof(WCHAR);
    RYL_RETURN_IF_FAILED(text->Insert(afterName, marker, sys::RylGuidUtils::kTextLength));
  }
  RYL_RETURN_IF_FAILED(FullPathInto(out, text->c_str()));
  if (device == 0) return RYL_OK;

  const strings::PathText full = ViewOf(*out);
  const size_t at = full.find(strings::PathText(marker, sys::RylGuidUtils::kTextLength));
  if (at == strings::PathText::npos) return RYL_E_INVALID_PATH;
  out->Erase(static_cast<uint32_t>(at), sys::RylGuidUtils::kTextLength);

  const strings::PathText resolved = ViewOf(*out);
  if (resolved.size() >= 4 && resolved[1] == u':' && strings::IsPathSeparator(resolved[2])) {
    return out->Insert(0, kVerbatimPrefix, 4);
  }
  if (!StartsWithTwoSeparators(resolved)) return RYL_E_INVALID_ARG;
  out->Erase(0, 1);
  return out->Insert(0, kVerbatimUncPrefix, 7);
}

// A path the full-path routine cannot resolve is a path that cannot be
// converted: callers see the same code as for a failed final conversion.
ResultCode AsConversionFailure(ResultCode rc) noexcept {
  return rc == RYL_E_INVALID_PATH ? sys::RylResultFromNtStatus(kObjectPathNotFound) : rc;
}

ResultCode FinalConversion(sys::ScopedRtlUnicodeString* out, const char16_t* zeroTerminated) noexcept {
  if (!RylRtlDosPathNameToNtPathName(AsNative(zeroTerminated), out->Receive())) {
    out->Reset();
    return sys::RylResultFromNtStatus(kObjectPathNotFound);
  }
  return RYL_OK;
}

}  // namespace

ResultCode MakeAbsolutePath(OutputBuffer* output, strings::PathText path, strings::PathText base) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  strings::PathScratchBuffer current;
  if (base.empty()) {
    RYL_RETURN_IF_FAILED(ReadCurrentDirectory(&current));
    base = ViewOf(current);
  }
  if (!strings::IsAbsolutePath(base)) return RYL_E_INVALID_ARG;
  if (strings::IsRootedWithoutDrive(path) && !(base.size() > 1 && base[1] == u':')) return RYL_E_BAD_FORMAT;
  return strings::CombinePaths(output, base, path);
}

ResultCode GetFullPath(OutputBuffer* output, strings::PathText path) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  // The copy both terminates the text and keeps it safe from the output's
  // resizing when the host passed the output's own storage.
  strings::PathScratchBuffer text;
  RYL_RETURN_IF_FAILED(text.Assign(path.data(), static_cast<uint32_t>(path.size())));
  ULONG needed = RtlGetFullPathName_U(AsNative(text.c_str()), 0, nullptr, nullptr);
  for (int attempt = 0; attempt < kSizeRaceAttempts; ++attempt) {
    if (needed < sizeof(WCHAR)) return RYL_E_INVALID_PATH;
    // The routine always writes a terminator: the output is sized to hold it
    // and then cut back, so nothing is written past what the host granted.
    const uint32_t units = needed / sizeof(WCHAR);
    RYL_RETURN_IF_FAILED(core::ResizeOutput(output, units));
    const ULONG offered = units * sizeof(WCHAR);
    const ULONG written =
        RtlGetFullPathName_U(AsNative(text.c_str()), offered, static_cast<PWSTR>(output->view.data), nullptr);
    if (written < sizeof(WCHAR)) return RYL_E_INVALID_PATH;
    if (written < offered) return core::ResizeOutput(output, written / sizeof(WCHAR));
    needed = written;  // the current directory changed in between and grew
  }
  return RYL_E_INVALID_PATH;
}

ResultCode GetFullPathVerbatim(OutputBuffer* output, const char16_t* path, uint32_t length) noexcept {
  if (output == nullptr || (path == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  if (path == nullptr) path = u"";
  length = static_cast<uint32_t>(core::HostText(path, length).size());
  strings::PathScratchBuffer text;
  RYL_RETURN_IF_FAILED(text.Assign(path, length));
  strings::PathScratchBuffer full;
  RYL_RETURN_IF_FAILED(BuildFullPathVerbatim(&full, &text));
  return strings::WritePathText(output, ViewOf(full));
}

ResultCode ConvertToNtPath(sys::ScopedRtlUnicodeString* out, const char16_t* path, uint32_t length) noexcept {
  if (out == nullptr || path == nullptr) return RYL_E_INVALID_ARG;
  out->Reset();
  const strings::PathText original(path, length);

  if (sys::RylWinIsNtFilePath(path, length)) {
    if (!static_cast<BOOLEAN>(RtlCreateUnicodeString(out->Receive(), AsNative(path)))) {
      out->Reset();
      return RYL_E_OUT_OF_MEMORY;
    }
    return RYL_OK;
  }

  strings::PathScratchBuffer rewritten;
  strings::PathText text = original;
  if (strings::IsRootedWithoutDrive(original)) {
    // `\x` means the root of the current directory's drive; a current
    // directory on a network share has no drive to take it from.
    strings::PathScratchBuffer current;
    RYL_RETURN_IF_FAILED(ReadCurrentDirectory(&current));
    const uint32_t colonEnd = strings::GetDriveColonEnd(ViewOf(current));
    if (colonEnd == 0) return RYL_E_BAD_FORMAT;
    RYL_RETURN_IF_FAILED(rewritten.Assign(current.data(), colonEnd));
    RYL_RETURN_IF_FAILED(rewritten.Append(u'\\'));
    RYL_RETURN_IF_FAILED(rewritten.Append(path, length));
    text = ViewOf(rewritten);
  } else if (!strings::IsAbsolutePath(original)) {
    // Relative paths are resolved by the native layer against the current
    // directory, except that a reserved device name at the end stays a file
    // name: `out\nul.txt` must not write into the null device while the same
    // file named by its full path would be a file.
    if (RtlIsDosDeviceName_U(AsNative(path)) == 0) return FinalConversion(out, path);
    RYL_RETURN_IF_FAILED(rewritten.Assign(path, length));
    strings::PathScratchBuffer verbatim;
    RYL_RETURN_IF_FAILED(AsConversionFailure(BuildFullPathVerbatim(&verbatim, &rewritten)));
    return FinalConversion(out, verbatim.c_str());
  }

  if (StartsWithTwoSeparators(text)) {
    if (text.size() >= kLongPathLength && !IsDeviceNamespacePath(text)) {
      strings::PathScratchBuffer unc;
      RYL_RETURN_IF_FAILED(unc.Assign(kVerbatimUncPrefix, 8));
      RYL_RETURN_IF_FAILED(unc.Append(text.data() + 2, static_cast<uint32_t>(text.size() - 2)));
      // Behind the verbatim prefix nothing turns `/` into `\` any more.
      for (uint32_t i = 8; i < unc.size(); ++i) {
        if (unc.data()[i] == u'/') unc.data()[i] = u'\\';
      }
      return FinalConversion(out, unc.c_str());
    }
    // Network and device paths of ordinary length go on as they are (a
    // rewritten rooted path starts with its drive, so this is the caller's text).
    return FinalConversion(out, path);
  }

  // Drive paths, short or long, go through the verbatim form so that the
  // full-path routine resolves "." and ".." without the 260-character limit
  // and without turning a reserved name into its device.
  strings::PathScratchBuffer verbatim;
  RYL_RETURN_IF_FAILED(verbatim.Assign(kVerbatimPrefix, 4));
  RYL_RETURN_IF_FAILED(verbatim.Append(text.data(), static_cast<uint32_t>(text.size())));
  strings::PathScratchBuffer resolved;
  RYL_RETURN_IF_FAILED(AsConversionFailure(FullPathInto(&resolved, verbatim.c_str())));
  return FinalConversion(out, resolved.c_str());
}

}  // namespace ryl::fs
