// rylcli fs: the file-system service's directory work from the command line.
#include "fs_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "progress.h"
#include "utf8_text.h"
#include "verbosity.h"

namespace rylcli {
namespace {

uint32_t Length(const wchar_t* text) { return static_cast<uint32_t>(std::wcslen(text)); }

void PrintHex(const uint8_t* bytes) {
  for (int i = 0; i < 16; ++i) Out("%02x", bytes[i]);
}

struct CopyJob {
  FileSystemService* fs;
  const wchar_t* source;
  const wchar_t* target;
  const wchar_t* pattern;
  uint32_t mode;
  uint32_t count = 0;
  ResultCode result = RYL_OK;
};

DWORD WINAPI CopyMain(void* context) {
  auto* job = static_cast<CopyJob*>(context);
  job->result = job->fs->CopyDirectoryFiles(job->source, Length(job->source), job->target, Length(job->target),
                                            job->pattern, Length(job->pattern), job->mode, &job->count);
  return 0;
}

// The files the copy will take, by the system's reading of the pattern: for
// the progress report and, with -v, the list. The library's own matching
// decides what is copied.
void Survey(const wchar_t* source, const wchar_t* pattern, uint32_t* files, uint64_t* bytes) {
  const std::wstring query = std::wstring(source) + L"\\" + pattern;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(query.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    ++*files;
    const uint64_t size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    *bytes += size;
    if (Verbose()) Out("copying: %s (%llu bytes)\n", Utf8(data.cFileName).c_str(), static_cast<unsigned long long>(size));
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

// CopyDirectoryFiles is one call with no progress callback: it runs on a
// thread of its own while this one keeps the report alive.
int Copy(FileSystemService* fs, int argc, wchar_t** argv) {
  int at = 1;
  uint32_t mode = 0;
  if (at < argc && std::wcscmp(argv[at], L"-n") == 0) {
    mode = 2;
    ++at;
  }
  if (argc - at != 2 && argc - at != 3) {
    return ReportUsage(argc - at < 2 ? "missing SOURCE_DIR or TARGET_DIR" : "too many arguments", "fs", "cp");
  }
  CopyJob job{fs, argv[at], argv[at + 1], argc - at == 3 ? argv[at + 2] : L"*", mode};
  uint32_t files = 0;
  uint64_t bytes = 0;
  Survey(job.source, job.pattern, &files, &bytes);
  Progress progress(files, bytes);
  progress.SetOpaque();
  HANDLE thread = CreateThread(nullptr, 0, CopyMain, &job, 0, nullptr);
  if (thread == nullptr) {
    CopyMain(&job);
  } else {
    while (WaitForSingleObject(thread, 250) == WAIT_TIMEOUT) progress.Tick();
    CloseHandle(thread);
  }
  progress.Finish();
  if (RylFailed(job.result)) {
    return ReportFailure("cannot copy " + Utf8(job.source) + " to " + Utf8(job.target), job.result);
  }
  Out("%u files copied\n", job.count);
  return kExitOk;
}

int Run(FileSystemService* fs, const std::string& verb, int argc, wchar_t** argv) {
  if (verb == "tree") {
    if (argc != 2) return ReportUsage(argc < 2 ? "missing DIR" : "too many arguments", "fs", verb);
    const ResultCode rc = fs->CreateDirectoryTree(argv[1], Length(argv[1]), 1, nullptr);
    return RylFailed(rc) ? ReportFailure("cannot make " + Utf8(argv[1]), rc) : kExitOk;
  }
  if (verb == "rm") {
    const bool recursive = argc >= 2 && std::wcscmp(argv[1], L"-r") == 0;
    if (argc != (recursive ? 3 : 2)) return ReportUsage(argc < 2 ? "missing DIR" : "wrong arguments", "fs", verb);
    const wchar_t* path = argv[argc - 1];
    const ResultCode rc = fs->RemoveDirectory(path, Length(path), recursive ? 1 : 0, 0);
    return RylFailed(rc) ? ReportFailure("cannot remove " + Utf8(path), rc) : kExitOk;
  }
  if (verb == "cp") return Copy(fs, argc, argv);
  if (verb == "df") {
    if (argc != 2) return ReportUsage(argc < 2 ? "missing PATH" : "too many arguments", "fs", verb);
    uint64_t total = 0;
    uint64_t available = 0;
    const ResultCode rc = fs->GetDiskSpace(argv[1], Length(argv[1]), &total, &available);
    if (RylFailed(rc)) return ReportFailure("cannot read the free space of " + Utf8(argv[1]), rc);
    Out("total %llu bytes, available %llu bytes\n", static_cast<unsigned long long>(total),
        static_cast<unsigned long long>(available));
    return kExitOk;
  }
  if (verb == "id") {
    if (argc != 2) return ReportUsage(argc < 2 ? "missing PATH" : "too many arguments", "fs", verb);
    uint8_t volume[16];
    uint8_t file[16];
    const ResultCode rc = fs->GetFileIdentity(volume, file, argv[1], Length(argv[1]));
    if (RylFailed(rc)) return ReportFailure("cannot identify " + Utf8(argv[1]), rc);
    Out("volume ");
    PrintHex(volume);
    Out("\nfile   ");
    PrintHex(file);
    Out("\n");
    return kExitOk;
  }
  return ReportUsage("unknown subcommand 'fs " + verb + "'", "fs");
}

}  // namespace

int RunFs(int argc, wchar_t** argv) {
  if (argc < 1) return ReportUsage("fs needs a subcommand", "fs");
  const std::string verb = Utf8(argv[0]);
  if (verb != "tree" && verb != "rm" && verb != "cp" && verb != "df" && verb != "id") {
    return ReportUsage("unknown subcommand 'fs " + verb + "'", "fs");
  }
  // Options are checked before the module starts, so that a usage error
  // costs nothing.
  for (int i = 1; i < argc; ++i) {
    const bool known = (verb == "rm" && i == 1 && std::wcscmp(argv[i], L"-r") == 0) ||
                       (verb == "cp" && i == 1 && std::wcscmp(argv[i], L"-n") == 0);
    if (argv[i][0] == L'-' && argv[i][1] != 0 && !known) {
      return ReportUsage("unknown option '" + Utf8(argv[i]) + "'", "fs", verb);
    }
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return ReportFailure("cannot start the module", started);
  FileSystemService* fs = nullptr;
  const ObjectReceiver receiver = MakeReceiver(reinterpret_cast<void**>(&fs), RYL_VERSION_FILE_SYSTEM_SERVICE);
  const ResultCode delivered = session.root()->GetFileSystemService(&receiver);
  if (RylFailed(delivered) || fs == nullptr) return ReportFailure("cannot get the file-system service", delivered);
  return Run(fs, verb, argc, argv);
}

}  // namespace rylcli
