// The file operations of the file-system service, for the service's slots and
// for the library's own file objects. Paths are UTF-16 (pointer, length)
// pairs in the host's DOS form; a length of kZeroTerminated runs to the first
// zero unit. Every operation converts its paths into native names itself.
// Free of Windows headers, whose macros would rename these functions.
#pragma once

#include <cstdint>

#include "ryl/records.h"
#include "ryl/result.h"
#include "sys/temp_name.h"

namespace ryl::fs {

// Success, with information: the data was copied but the source's security
// could not be given to the copy.
inline constexpr ResultCode kCopiedWithoutSecurity = RYL_RESULT(0x60010080u);

// "vqz-", 36 identifier characters, ".tmp".
inline constexpr uint32_t kTempFileNameLength = sys::kRylTempFileNameLength;

// DeleteFile flags.
inline constexpr uint32_t kDeleteClearReadOnly = 0x1;
inline constexpr uint32_t kDeleteExclusive = 0x2;

// A time given as all 64 bits set leaves that time as it is.
inline constexpr uint64_t kTimeUnchanged = ~uint64_t{0};

struct FileTimes {
  uint64_t creation;
  uint64_t lastAccess;
  uint64_t lastWrite;
  uint64_t change;
};

// The directory named by TMP, else TEMP, else USERPROFILE, as a full path
// without a trailing separator of its own making; RYL_E_PATH_NOT_FOUND when
// none of the three is set.
[[nodiscard]] ResultCode GetTempDirectory(OutputBuffer* out) noexcept;

// A fresh temporary-file name (no file is made).
[[nodiscard]] ResultCode MakeTempFileName(OutputBuffer* out) noexcept;

// The native attribute bits of an existing file or directory.
[[nodiscard]] ResultCode GetAttributes(const char16_t* path, uint32_t length, uint32_t* outAttributes) noexcept;
// 0 changes nothing; clearing every attribute takes FILE_ATTRIBUTE_NORMAL.
[[nodiscard]] ResultCode SetAttributes(const char16_t* path, uint32_t length, uint32_t attributes) noexcept;
// RYL_OK for a file; RYL_E_FILE_NOT_FOUND for a directory or nothing there.
[[nodiscard]] ResultCode FileExists(const char16_t* path, uint32_t length) noexcept;
// RYL_OK for a directory; RYL_E_PATH_NOT_FOUND for a file or nothing there.
[[nodiscard]] ResultCode DirectoryExists(const char16_t* path, uint32_t length) noexcept;

// Copies data, last-access and last-write times and attributes, and with
// copySecurity the security descriptor. Uses the platform's CopyFileW where
// it exists, else CopyFileNative. A failed copy leaves no target behind:
// when it fails after the target was created or overwritten, the target is
// deleted. With failIfExists an existing target is never touched.
[[nodiscard]] ResultCode CopyFile(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                                  uint32_t targetLength, bool failIfExists, bool copySecurity) noexcept;
// The library's own copy through the native layer, in blocks of one memory
// page, whatever the platform offers.
[[nodiscard]] ResultCode CopyFileNative(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                                        uint32_t targetLength, bool failIfExists, bool copySecurity) noexcept;

// Renames within a volume; across volumes copies (with security) and deletes
// the source. A symbolic link moves as the file it points to, a junction as
// itself.
[[nodiscard]] ResultCode MoveFile(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                                  uint32_t targetLength, bool doNotReplace) noexcept;

// Deletes a file (a link, not its target); directories are refused.
// kDeleteClearReadOnly deletes a read-only file too; kDeleteExclusive fails
// while anyone else has the file open.
[[nodiscard]] ResultCode DeleteFile(const char16_t* path, uint32_t length, uint32_t flags) noexcept;

// Times given as kTimeUnchanged stay. attributesOnlyAccess opens with
// FILE_WRITE_ATTRIBUTES alone and leaves the change time to the file system.
[[nodiscard]] ResultCode SetFileTimes(const char16_t* path, uint32_t length, const FileTimes& times,
                                      bool attributesOnlyAccess) noexcept;
// *out is written only on success.
[[nodiscard]] ResultCode GetFileTimes(const char16_t* path, uint32_t length, FileTimes* out) noexcept;

// Both paths must be absolute (RYL_E_INVALID_ARG otherwise); an existing link
// name is never replaced.
[[nodiscard]] ResultCode CreateHardLink(const char16_t* existing, uint32_t existingLength, const char16_t* link,
                                        uint32_t linkLength) noexcept;

// The end of file; 0 for a directory. A file that cannot be opened is looked
// up in its directory instead.
[[nodiscard]] ResultCode GetFileSize(const char16_t* path, uint32_t length, uint64_t* outSize) noexcept;

}  // namespace ryl::fs
