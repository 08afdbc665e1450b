// What "rylcli zip" was asked to do, read from its arguments.
#pragma once

#include <ryl/ryl.h>

#include <string>
#include <vector>

namespace rylcli {

struct ZipOptions {
  std::wstring command;    // list, extract or test
  std::wstring archive;    // a full path
  std::wstring directory;  // extract only: a full path
  std::wstring password;
  bool hasPassword = false;
  std::vector<std::wstring> names;  // extract only: the entries wanted, none for all
};

// Reads "COMMAND [-p PASSWORD] ARCHIVE [DIRECTORY [NAME...]]"; false when the
// arguments do not make a command. The module takes full paths, so relative
// ones are resolved here, as the host's job.
bool ParseZipOptions(int argc, wchar_t** argv, ZipOptions* out);

void PrintZipUsage();

// Sets the password given with -p on the entry; RYL_OK when none was given.
ResultCode ApplyPassword(ArchiveEntry* entry, const ZipOptions& options);

}  // namespace rylcli
