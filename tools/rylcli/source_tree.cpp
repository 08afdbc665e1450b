#include "source_tree.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <unordered_set>

#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "utf8_text.h"
#include "win32_result.h"

namespace rylcli {
namespace {

// A day inside each end of the DOS range (1980 to 2107, local time), so that
// the local time of any zone still has a DOS date. A file from before 1980
// would otherwise make the library refuse the entry.
constexpr uint64_t kEarliestTime = 119600928000000000ull;  // 1980-01-02 00:00 UTC
constexpr uint64_t kLatestTime = 159991200000000000ull;    // 2107-12-30 00:00 UTC

uint64_t EntryTime(const FILETIME& time) {
  const uint64_t value = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return std::min(std::max(value, kEarliestTime), kLatestTime);
}

uint64_t FileSize(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

class Collector {
 public:
  Collector(const std::vector<std::wstring>& skip, std::vector<SourceItem>* out) : skip_(skip), out_(out) {}

  bool Named(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      ReportFailure("no file or directory at '" + Utf8(path) + "'", FromWin32(GetLastError()));
      return false;
    }
    if (Skipped(path)) return true;
    const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t slash = path.rfind(L'\\');
    if (directory && slash + 1 == path.size()) return Walk(path.substr(0, slash), L"");  // a drive's root
    const std::wstring name = path.substr(slash + 1);
    if (!Add(path, name, directory, FileSize(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime)) {
      return false;
    }
    return !directory || Walk(path, name);
  }

 private:
  bool Skipped(const std::wstring& path) const {
    for (const std::wstring& s : skip_) {
      if (CompareStringOrdinal(path.c_str(), -1, s.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
  }

  bool Add(const std::wstring& path, const std::wstring& name, bool directory, uint64_t size, const FILETIME& time) {
    // The library would refuse the second add; saying which two paths
    // clash is more use than its code.
    if (!names_.insert(directory ? name + L"/" : name).second) {
      ReportFailure("two paths give the entry name '" + Utf8(name) + "' (the second is '" + Utf8(path) + "')",
                    RYL_E_ALREADY_EXISTS);
      return false;
    }
    out_->push_back(SourceItem{path, name, directory, directory ? 0 : size, EntryTime(time)});
    return true;
  }

  struct Child {
    std::wstring name;
    bool directory;
    uint64_t size;
    FILETIME time;
  };

  // The contents of directory, whose entry name is prefix ("" for a root).
  bool Walk(const std::wstring& directory, const std::wstring& prefix) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      ReportFailure("cannot list '" + Utf8(directory) + "'", FromWin32(GetLastError()));
      return false;
    }
    std::vector<Child> children;
    do {
      if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0 &&
          (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        children.push_back(Child{data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                 FileSize(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime});
      }
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
      ReportFailure("cannot list '" + Utf8(directory) + "'", FromWin32(error));
      return false;
    }
    // Name order, whatever order the file system lists in: the same tree
    // gives the same archive.
    std::sort(children.begin(), children.end(), [](const Child& a, const Child& b) { return a.name < b.name; });
    for (const Child& child : children) {
      const std::wstring path = directory + L"\\" + child.name;
      if (Skipped(path)) continue;
      const std::wstring name = prefix.empty() ? child.name : prefix + L"/" + child.name;
      if (!Add(path, name, child.directory, child.size, child.time)) return false;
      if (child.directory && !Walk(path, name)) return false;
    }
    return true;
  }

  const std::vector<std::wstring>& skip_;
  std::vector<SourceItem>* out_;
  std::unordered_set<std::wstring> names_;
};

}  // namespace

bool CollectSources(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& skip,
                    std::vector<SourceItem>* out) {
  Collector collector(skip, out);
  for (const std::wstring& path : paths) {
    if (!collector.Named(path)) return false;
  }
  return true;
}

}  // namespace rylcli
