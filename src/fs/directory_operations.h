// The file-system service's operations on whole directories: creating one or
// a chain of missing ones (undoing what the call made when a later step
// fails), removing a directory or a whole tree without ever following a
// directory link, moving a directory within its volume, and copying, moving
// or deleting the files of a directory that match a pattern. Paths are the
// host's UTF-16 DOS paths as (pointer, length); the length may be
// kZeroTerminated. Free of Windows headers, like file_operations.h.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::fs {

// Collision modes of CopyDirectoryFiles.
inline constexpr uint32_t kCollisionReplace = 0;
inline constexpr uint32_t kCollisionFail = 1;
inline constexpr uint32_t kCollisionNumbered = 2;
// Numbered copies are tried with the numbers 1 to this.
inline constexpr uint32_t kMaxCopyNumber = 99;

// One new directory; an existing one is RYL_E_ALREADY_EXISTS. A security
// descriptor, when given, is the new directory's.
[[nodiscard]] ResultCode CreateDirectory(const char16_t* path, uint32_t length,
                                         const void* securityDescriptor) noexcept;

// With createParents the missing parents are made first (without the
// descriptor), from the top down; when a step fails, every directory this
// call made is removed again, deepest first, and that failure is returned.
// Allocates; the slot turns std::bad_alloc into RYL_E_OUT_OF_MEMORY.
[[nodiscard]] ResultCode CreateDirectoryTree(const char16_t* path, uint32_t length, bool createParents,
                                             const void* securityDescriptor);

// Removes an empty directory, or with recursive the directory and all it
// holds. A junction or symbolic link is removed as the link, never through
// its target; recursively, so is every entry that carries the reparse-point
// attribute, and each directory is listed through the very handle whose
// attributes were checked, so a directory swapped for a link between the
// listing and the opening is not entered either. deleteFlags are those of
// DeleteFile, for the files of the tree.
// Allocates, like CreateDirectoryTree.
[[nodiscard]] ResultCode RemoveDirectory(const char16_t* path, uint32_t length, bool recursive,
                                         uint32_t deleteFlags);

// A rename within the volume; an existing target is never replaced, and
// there is no copy across volumes.
[[nodiscard]] ResultCode MoveDirectory(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                                       uint32_t targetLength) noexcept;

// Each operation acts on the files (not the directories) of the directory
// that match the pattern, stops at the first failure and returns it, and
// sets *outCount (when not null) to the number of files it really did.
[[nodiscard]] ResultCode CopyDirectoryFiles(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                                            uint32_t targetLength, const char16_t* pattern, uint32_t patternLength,
                                            uint32_t collisionMode, uint32_t* outCount) noexcept;
[[nodiscard]] ResultCode MoveDirectoryFiles(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                                            uint32_t targetLength, const char16_t* pattern, uint32_t patternLength,
                                            uint32_t flags, uint32_t* outCount) noexcept;
[[nodiscard]] ResultCode DeleteDirectoryFiles(const char16_t* directory, uint32_t directoryLength,
                                              const char16_t* pattern, uint32_t patternLength, uint32_t* outCount,
                                              uint32_t deleteFlags) noexcept;

}  // namespace ryl::fs
