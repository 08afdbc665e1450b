// Creating one directory, or a chain of them.
#include <vector>

#include "core/result_helpers.h"
#include "fs/directory_operations.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "fs/nt_path.h"
#include "strings/path_scratch_buffer.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

constexpr ACCESS_MASK kCreateAccess = SYNCHRONIZE | FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA;

// Where the parent of path ends: before the last run of separators that
// follows a name. 0 when path has no parent that could be made (a root, or
// a name without a separator before it).
uint32_t ParentEnd(strings::PathText path) noexcept {
  const uint32_t root = strings::GetRootLength(path);
  uint32_t end = static_cast<uint32_t>(path.size());
  while (end > root && !strings::IsPathSeparator(path[end - 1])) --end;  // the name
  while (end > root && strings::IsPathSeparator(path[end - 1])) --end;   // its separators
  return end > root ? end : 0;
}

}  // namespace

ResultCode CreateDirectory(const char16_t* path, uint32_t length, const void* securityDescriptor) noexcept {
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  sys::ScopedHandle directory;
  const NTSTATUS status =
      CreateNativeFileWith(&directory, name.get(), kCreateAccess, FILE_ATTRIBUTE_DIRECTORY, 0, FILE_CREATE,
                           FILE_DIRECTORY_FILE, const_cast<void*>(securityDescriptor));
  return sys::RylResultFromNtStatus(status);
}

ResultCode CreateDirectoryTree(const char16_t* path, uint32_t length, bool createParents,
                               const void* securityDescriptor) {
  if (path == nullptr) return RYL_E_INVALID_ARG;
  if (length == kZeroTerminated) length = static_cast<uint32_t>(std::char_traits<char16_t>::length(path));
  strings::PathText text(path, length);
  // A trailing separator is dropped, but not the one of a root.
  while (text.size() > strings::GetRootLength(text) && !text.empty() && strings::IsPathSeparator(text.back())) {
    text.remove_suffix(1);
  }
  strings::PathScratchBuffer target;
  RYL_RETURN_IF_FAILED(target.Assign(text.data(), static_cast<uint32_t>(text.size())));
  if (!createParents) return CreateDirectory(target.c_str(), target.size(), securityDescriptor);

  // The missing parents, deepest first, as lengths of the path's text.
  std::vector<uint32_t> missing;
  for (uint32_t end = ParentEnd(text); end != 0; end = ParentEnd(text.substr(0, end))) {
    strings::PathScratchBuffer parent;
    RYL_RETURN_IF_FAILED(parent.Assign(text.data(), end));
    uint32_t attributes = 0;
    if (GetAttributes(parent.c_str(), parent.size(), &attributes) == RYL_OK) break;
    missing.push_back(end);
  }
  // Made from the top down; what this call made is undone, deepest first,
  // when a later step fails. A directory that someone else made meanwhile
  // fails its creation here and is never removed.
  std::vector<uint32_t> made;
  ResultCode failure = RYL_OK;
  for (auto it = missing.rbegin(); it != missing.rend() && failure == RYL_OK; ++it) {
    strings::PathScratchBuffer parent;
    failure = parent.Assign(text.data(), *it);
    if (failure == RYL_OK) failure = CreateDirectory(parent.c_str(), parent.size(), nullptr);
    if (failure == RYL_OK) made.push_back(*it);
  }
  if (failure == RYL_OK) {
    failure = CreateDirectory(target.c_str(), target.size(), securityDescriptor);
    if (failure >= 0) return failure;
  }
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    strings::PathScratchBuffer parent;
    if (parent.Assign(text.data(), *it) == RYL_OK) (void)RemoveDirectory(parent.c_str(), parent.size(), false, 0);
  }
  return failure;
}

}  // namespace ryl::fs
