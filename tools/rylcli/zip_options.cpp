#include "zip_options.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <utility>

namespace rylcli {

bool ParseZipOptions(int argc, wchar_t** argv, ZipOptions* out) {
  if (argc < 1) return false;
  ZipOptions options;
  options.command = argv[0];
  std::vector<std::wstring> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"-p") == 0 && i + 1 < argc) {
      options.password = argv[++i];
      options.hasPassword = true;
    } else {
      positional.emplace_back(argv[i]);
    }
  }
  const std::wstring& command = options.command;
  const bool isExtract = command == L"extract";
  if ((command != L"list" && command != L"test" && !isExtract) || positional.empty() ||
      (isExtract && positional.size() < 2) || (!isExtract && positional.size() != 1)) {
    return false;
  }
  options.archive = positional[0];
  if (isExtract) {
    options.directory = positional[1];
    options.names.assign(positional.begin() + 2, positional.end());
  }
  wchar_t full[MAX_PATH * 4];
  if (GetFullPathNameW(options.archive.c_str(), MAX_PATH * 4, full, nullptr) != 0) options.archive = full;
  if (isExtract && GetFullPathNameW(options.directory.c_str(), MAX_PATH * 4, full, nullptr) != 0) {
    options.directory = full;
  }
  *out = std::move(options);
  return true;
}

void PrintZipUsage() {
  std::fprintf(stderr,
               "usage: rylcli zip list ARCHIVE\n"
               "       rylcli zip extract [-p PASSWORD] ARCHIVE DIRECTORY [NAME...]\n"
               "       rylcli zip test [-p PASSWORD] ARCHIVE\n");
}

ResultCode ApplyPassword(ArchiveEntry* entry, const ZipOptions& options) {
  if (!options.hasPassword) return RYL_OK;
  return entry->SetPassword(options.password.c_str(), static_cast<int32_t>(options.password.size()), 0);
}

}  // namespace rylcli
