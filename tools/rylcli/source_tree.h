// The files and directories that create and add put into an archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rylcli {

struct SourceItem {
  std::wstring path;  // full path on disk
  std::wstring name;  // entry name, "/" separators, no trailing "/"
  bool directory = false;
  uint64_t size = 0;
  // Last write, in the library's time (100-ns units since 1601 UTC), moved
  // into the range a ZIP entry's DOS date holds.
  uint64_t time = 0;
};

// Every file and directory under the named paths, each directory before its
// contents, in name order. Entry names are relative to each named path's
// parent (a drive's root: to the root itself). Full paths in skip (the
// archive being written, its temporary file) are left out, as are reparse
// points met inside a directory, which could lead round in a loop. Fails, saying why on stderr,
// when a named path is missing, a directory cannot be listed, or two items
// would get the same entry name.
bool CollectSources(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& skip,
                    std::vector<SourceItem>* out);

}  // namespace rylcli
