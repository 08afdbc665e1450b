// Copying, moving and deleting the files of a directory that match a
// pattern, one file at a time through the single-file operations.
#include <utility>

#include "core/growable_buffer.h"
#include "core/host_text.h"
#include "core/result_helpers.h"
#include "fs/directory_enumeration.h"
#include "fs/directory_operations.h"
#include "fs/file_operations.h"
#include "fs/numbered_copy_name.h"
#include "strings/path_scratch_buffer.h"
#include "strings/path_text.h"

namespace ryl::fs {
namespace {

strings::PathText Text(const char16_t* text, uint32_t length) noexcept {
  if (text == nullptr) return strings::PathText();
  if (length == core::kZeroTerminated) return strings::PathText(text);
  return strings::PathText(text, length);
}

// directory + "\" + name, zero-terminated, as the single-file operations
// take it.
ResultCode JoinInto(strings::PathText directory, strings::PathText name, strings::PathScratchBuffer* out) noexcept {
  core::GrowableBuffer<char16_t> joined;
  RYL_RETURN_IF_FAILED(strings::CombinePaths(joined.Output(), directory, name));
  return out->Assign(joined.data(), joined.size());
}

// Calls act(source path, target path or null) for each matching file of
// source, counting each success; the first failure ends the walk.
template <typename Act>
ResultCode ForEachFile(strings::PathText source, strings::PathText target, strings::PathText pattern,
                       uint32_t* outCount, Act&& act) {
  uint32_t count = 0;
  if (outCount != nullptr) *outCount = 0;
  DirectoryEnumeration listing;
  ResultCode listed = listing.Open(source, pattern, kEnumerateFiles);
  while (listed == RYL_OK) {
    const strings::PathText name = listing.current().Name();
    strings::PathScratchBuffer from;
    RYL_RETURN_IF_FAILED(JoinInto(source, name, &from));
    strings::PathScratchBuffer to;
    if (!target.empty()) RYL_RETURN_IF_FAILED(JoinInto(target, name, &to));
    RYL_RETURN_IF_FAILED(act(from, to));
    ++count;
    if (outCount != nullptr) *outCount = count;
    listed = listing.MoveNext();
  }
  return listed < 0 ? listed : RYL_OK;
}

ResultCode RequireDirectory(strings::PathText path) noexcept {
  if (path.empty()) return RYL_E_PATH_NOT_FOUND;
  strings::PathScratchBuffer text;
  RYL_RETURN_IF_FAILED(text.Assign(path.data(), static_cast<uint32_t>(path.size())));
  return DirectoryExists(text.c_str(), text.size());
}

// The copy under the first free numbered name: "a.txt.1" to "a.txt.99".
ResultCode CopyNumbered(const strings::PathScratchBuffer& from, const strings::PathScratchBuffer& to) noexcept {
  const strings::PathText base = NumberedCopyBase(strings::PathText(to.data(), to.size()));
  ResultCode rc = RYL_E_ALREADY_EXISTS;
  for (uint32_t number = 1; number <= kMaxCopyNumber && rc == RYL_E_ALREADY_EXISTS; ++number) {
    strings::PathScratchBuffer numbered;
    RYL_RETURN_IF_FAILED(MakeNumberedCopyName(base, number, &numbered));
    rc = CopyFile(from.c_str(), from.size(), numbered.c_str(), numbered.size(), true, false);
  }
  return rc;
}

}  // namespace

ResultCode CopyDirectoryFiles(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                              uint32_t targetLength, const char16_t* pattern, uint32_t patternLength,
                              uint32_t collisionMode, uint32_t* outCount) noexcept {
  if (outCount != nullptr) *outCount = 0;
  if (collisionMode > kCollisionNumbered) return RYL_E_INVALID_ARG;
  const strings::PathText from = Text(source, sourceLength);
  const strings::PathText to = Text(target, targetLength);
  RYL_RETURN_IF_FAILED(RequireDirectory(from));
  RYL_RETURN_IF_FAILED(RequireDirectory(to));
  return ForEachFile(from, to, Text(pattern, patternLength), outCount,
                     [&](const strings::PathScratchBuffer& file, const strings::PathScratchBuffer& copy) {
                       const bool failIfExists = collisionMode != kCollisionReplace;
                       const ResultCode rc =
                           CopyFile(file.c_str(), file.size(), copy.c_str(), copy.size(), failIfExists, false);
                       if (rc == RYL_E_ALREADY_EXISTS && collisionMode == kCollisionNumbered) {
                         return CopyNumbered(file, copy);
                       }
                       return rc;
                     });
}

ResultCode MoveDirectoryFiles(const char16_t* source, uint32_t sourceLength, const char16_t* target,
                              uint32_t targetLength, const char16_t* pattern, uint32_t patternLength, uint32_t flags,
                              uint32_t* outCount) noexcept {
  if (outCount != nullptr) *outCount = 0;
  const strings::PathText from = Text(source, sourceLength);
  const strings::PathText to = Text(target, targetLength);
  RYL_RETURN_IF_FAILED(RequireDirectory(from));
  RYL_RETURN_IF_FAILED(RequireDirectory(to));
  return ForEachFile(from, to, Text(pattern, patternLength), outCount,
                     [&](const strings::PathScratchBuffer& file, const strings::PathScratchBuffer& moved) {
                       return MoveFile(file.c_str(), file.size(), moved.c_str(), moved.size(), flags != 0);
                     });
}

ResultCode DeleteDirectoryFiles(const char16_t* directory, uint32_t directoryLength, const char16_t* pattern,
                                uint32_t patternLength, uint32_t* outCount, uint32_t deleteFlags) noexcept {
  if (outCount != nullptr) *outCount = 0;
  const strings::PathText from = Text(directory, directoryLength);
  RYL_RETURN_IF_FAILED(RequireDirectory(from));
  return ForEachFile(from, strings::PathText(), Text(pattern, patternLength), outCount,
                     [&](const strings::PathScratchBuffer& file, const strings::PathScratchBuffer&) {
                       return DeleteFile(file.c_str(), file.size(), deleteFlags);
                     });
}

}  // namespace ryl::fs
