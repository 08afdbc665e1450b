// What the file-system service's file operations share at the native layer:
// turning a host's (pointer, length) path into a native name, the object
// attributes every open uses, and the information records read and written
// through an open handle.
//
// This header brings in the Windows headers, whose CopyFile, MoveFile,
// DeleteFile and CreateHardLink macros would rename the library's functions
// of those names; it takes them back out for every file that includes it.
#pragma once

#include <cstdint>
#include <string_view>

#include "ryl/result.h"
#include "sys/native_api.h"
#include "sys/native_object_attributes.h"
#include "sys/scoped_handle.h"
#include "sys/scoped_unicode_string.h"

#undef CopyFile
#undef MoveFile
#undef DeleteFile
#undef CreateHardLink
#undef CreateDirectory
#undef RemoveDirectory

namespace ryl::fs {

// winnt.h gives this status an unsigned type; compared as a status it must be
// one.
inline constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);

// The native layer's "leave this time as it is" in a basic-information write.
inline constexpr int64_t kKeepTime = 0;

// The host's path, copied so that it is zero-terminated, through
// ConvertToNtPath. length may be kZeroTerminated.
[[nodiscard]] ResultCode HostPathToNtPath(const char16_t* path, uint32_t length,
                                          sys::ScopedRtlUnicodeString* out) noexcept;

// The same through the platform conversion that opens and deletes use, which
// keeps a reserved device name at the end of the path a file name.
[[nodiscard]] ResultCode HostPathToNtPathForOpen(const char16_t* path, uint32_t length,
                                                 sys::ScopedRtlUnicodeString* out) noexcept;

using sys::NativeObjectAttributes;

[[nodiscard]] NTSTATUS OpenNativeFile(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access,
                                      ULONG share, ULONG options) noexcept;

[[nodiscard]] NTSTATUS CreateNativeFile(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access,
                                        ULONG share, ULONG disposition, ULONG options) noexcept;

// As CreateNativeFile, with the attributes of what the call creates and the
// security descriptor it is given (null: what it inherits).
[[nodiscard]] NTSTATUS CreateNativeFileWith(sys::ScopedHandle* out, const UNICODE_STRING& name, ACCESS_MASK access,
                                            ULONG attributes, ULONG share, ULONG disposition, ULONG options,
                                            void* securityDescriptor) noexcept;

[[nodiscard]] NTSTATUS QueryBasicInformation(HANDLE file, FILE_BASIC_INFORMATION* out) noexcept;
[[nodiscard]] NTSTATUS SetBasicInformation(HANDLE file, const FILE_BASIC_INFORMATION& info) noexcept;
[[nodiscard]] NTSTATUS QueryStandardInformation(HANDLE file, FILE_STANDARD_INFORMATION* out) noexcept;

// The file goes away when its last handle closes. Needs DELETE access.
[[nodiscard]] NTSTATUS MarkForDeletion(HANDLE file) noexcept;

// Deletes the file of that native name (a link, not its target; never a
// directory), clearing read-only first when asked: DeleteFile once its DOS
// path is converted.
[[nodiscard]] NTSTATUS DeleteNtFile(const UNICODE_STRING& name, ULONG share, bool clearReadOnly) noexcept;

// A rename (FileRenameInformation) or a new link (FileLinkInformation) to a
// native name; both records share one layout. STATUS_NO_MEMORY when the
// record cannot be allocated.
[[nodiscard]] NTSTATUS SetNameInformation(HANDLE file, FILE_INFORMATION_CLASS kind, const UNICODE_STRING& name,
                                          bool replaceIfExists) noexcept;

}  // namespace ryl::fs
