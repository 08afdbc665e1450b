// Copying one file: through the platform's own copy where it offers one,
// else through the native layer.
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_copy.h"
#include "fs/native_file.h"
#include "security/open_for_security.h"
#include "security/security_descriptor_io.h"
#include "strings/path_scratch_buffer.h"
#include "sys/kernel32_functions.h"
#include "sys/result_codes.h"
#include "sys/win_object.h"
#include "sys/win_security_descriptor.h"

namespace ryl::fs {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The platform's copy takes DOS paths: a converted `\??\` name is handed over
// in the equivalent `\\?\` form, which no DOS path rule rewrites.
ResultCode ToPlatformPath(const UNICODE_STRING& name, strings::PathScratchBuffer* out) noexcept {
  RYL_RETURN_IF_FAILED(
      out->Assign(reinterpret_cast<const char16_t*>(name.Buffer), static_cast<uint32_t>(name.Length / sizeof(WCHAR))));
  if (out->size() >= 4 && out->data()[0] == u'\\' && out->data()[1] == u'?' && out->data()[2] == u'?' &&
      out->data()[3] == u'\\') {
    out->data()[1] = u'\\';
  }
  return RYL_OK;
}

// What the target looks like before the platform's copy runs, so that after
// a failure a target that the copy created or overwrote can be told from one
// it never touched.
struct TargetState {
  enum Kind { kAbsent, kPresent, kUnknown } kind = kUnknown;
  LONGLONG index = 0;
  LONGLONG size = 0;
  LONGLONG lastWrite = 0;
  LONGLONG change = 0;

  bool operator==(const TargetState& other) const noexcept {
    return kind == other.kind && index == other.index && size == other.size && lastWrite == other.lastWrite &&
           change == other.change;
  }
};

TargetState ReadTargetState(const UNICODE_STRING& name) noexcept {
  TargetState state;
  sys::ScopedHandle file;
  const NTSTATUS status = CreateNativeFile(&file, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND || status == STATUS_OBJECT_PATH_NOT_FOUND) {
    state.kind = TargetState::kAbsent;
    return state;
  }
  if (!NT_SUCCESS(status)) return state;
  IO_STATUS_BLOCK iosb{};
  FILE_INTERNAL_INFORMATION internal{};
  FILE_STANDARD_INFORMATION standard{};
  FILE_BASIC_INFORMATION basic{};
  if (!NT_SUCCESS(ZwQueryInformationFile(file.get(), &iosb, &internal, sizeof internal, FileInternalInformation)) ||
      !NT_SUCCESS(QueryStandardInformation(file.get(), &standard)) ||
      !NT_SUCCESS(QueryBasicInformation(file.get(), &basic))) {
    return state;
  }
  state.kind = TargetState::kPresent;
  state.index = internal.IndexNumber.QuadPart;
  state.size = standard.EndOfFile.QuadPart;
  state.lastWrite = basic.LastWriteTime.QuadPart;
  state.change = basic.ChangeTime.QuadPart;
  return state;
}

// Not every platform copy removes what it wrote before it failed (Wine's
// leaves the part it got through, carrying the source's attributes). A target
// that appeared, or changed, during a failed copy is that copy's remnant.
void RemoveRemnant(const UNICODE_STRING& target, const TargetState& before) noexcept {
  if (before.kind == TargetState::kUnknown) return;
  const TargetState after = ReadTargetState(target);
  if (after.kind != TargetState::kPresent || after == before) return;
  (void)DeleteNtFile(target, kShareAll, true);
}

// The platform's copy gives the copy the security its new directory hands
// down. To keep the source's instead, its discretionary list and mandatory
// label (or the list alone, when the label cannot be read) are read into a
// security-descriptor object and applied to the copy.
ResultCode CopySecurityAfterPlatformCopy(const strings::PathScratchBuffer& source, const strings::PathScratchBuffer& target) noexcept {
  sys::RylWinSecurityDescriptor descriptor;
  const sys::RylWinObject from{sys::kRylWinObjectFile, source.c_str(), nullptr};
  uint32_t parts = sys::kPartDacl | sys::kPartLabel;
  if (security::ReadSecurityDescriptor(from, parts, &descriptor) < 0) {
    parts = sys::kPartDacl;
    RYL_RETURN_IF_FAILED(security::ReadSecurityDescriptor(from, parts, &descriptor));
  }
  parts &= descriptor.GetPartsPresent();
  const sys::RylWinObject to{sys::kRylWinObjectFile, target.c_str(), nullptr};
  sys::ScopedHandle handle;
  RYL_RETURN_IF_FAILED(security::OpenForSecurity(to, true, parts, &handle));
  return descriptor.SetDescriptorToObject(handle.get(), parts);
}

ResultCode CopyThroughPlatform(const UNICODE_STRING& source, const UNICODE_STRING& target, bool failIfExists,
                               bool copySecurity) noexcept {
  strings::PathScratchBuffer sourcePath;
  strings::PathScratchBuffer targetPath;
  RYL_RETURN_IF_FAILED(ToPlatformPath(source, &sourcePath));
  RYL_RETURN_IF_FAILED(ToPlatformPath(target, &targetPath));
  const TargetState before = ReadTargetState(target);
  const ResultCode rc = sys::RylKernel32_CopyFileW(sourcePath.c_str(), targetPath.c_str(), failIfExists);
  if (rc < 0) {
    RemoveRemnant(target, before);
    return rc;
  }
  if (!copySecurity) return rc;
  return CopySecurityAfterPlatformCopy(sourcePath, targetPath) < 0 ? kCopiedWithoutSecurity : rc;
}

}  // namespace

ResultCode CopyFile(const char16_t* source, uint32_t sourceLength, const char16_t* target, uint32_t targetLength,
                    bool failIfExists, bool copySecurity) noexcept {
  sys::ScopedRtlUnicodeString sourceName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(source, sourceLength, &sourceName));
  sys::ScopedRtlUnicodeString targetName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(target, targetLength, &targetName));
  if (sys::RylKernel32IsFnLoaded_CopyFileW()) {
    return CopyThroughPlatform(sourceName.get(), targetName.get(), failIfExists, copySecurity);
  }
  return CopyNtFileNatively(sourceName.get(), targetName.get(), failIfExists, copySecurity);
}

ResultCode CopyFileNative(const char16_t* source, uint32_t sourceLength, const char16_t* target, uint32_t targetLength,
                          bool failIfExists, bool copySecurity) noexcept {
  sys::ScopedRtlUnicodeString sourceName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(source, sourceLength, &sourceName));
  sys::ScopedRtlUnicodeString targetName;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(target, targetLength, &targetName));
  return CopyNtFileNatively(sourceName.get(), targetName.get(), failIfExists, copySecurity);
}

}  // namespace ryl::fs
