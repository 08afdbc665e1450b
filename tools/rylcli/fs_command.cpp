#include "fs_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "module_session.h"

namespace rylcli {
namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: rylcli fs tree DIR                 make DIR and every missing parent\n"
               "       rylcli fs rm -r DIR                remove DIR and all it holds (links as links)\n"
               "       rylcli fs rm DIR                   remove the empty directory DIR\n"
               "       rylcli fs cp [-n] DIR DIR [PATTERN]\n"
               "                                          copy the files of one directory into\n"
               "                                          another; -n keeps both on a name\n"
               "                                          clash (numbered copies), else replace\n"
               "       rylcli fs df PATH                  total and available bytes of PATH's volume\n"
               "       rylcli fs id PATH                  the volume's and the file's identifiers\n");
}

uint32_t Length(const wchar_t* text) { return static_cast<uint32_t>(std::wcslen(text)); }

int Fail(const char* what, ResultCode rc) {
  std::fprintf(stderr, "rylcli: %s: %s\n", what, DescribeResult(rc));
  return 1;
}

void PrintHex(const uint8_t* bytes) {
  for (int i = 0; i < 16; ++i) std::printf("%02x", bytes[i]);
}

int Run(FileSystemService* fs, int argc, wchar_t** argv) {
  const std::wstring verb = argv[0];
  if (verb == L"tree" && argc == 2) {
    const ResultCode rc = fs->CreateDirectoryTree(argv[1], Length(argv[1]), 1, nullptr);
    return RylFailed(rc) ? Fail("fs tree", rc) : 0;
  }
  if (verb == L"rm" && (argc == 2 || (argc == 3 && std::wcscmp(argv[1], L"-r") == 0))) {
    const wchar_t* path = argv[argc - 1];
    const ResultCode rc = fs->RemoveDirectory(path, Length(path), argc == 3 ? 1 : 0, 0);
    return RylFailed(rc) ? Fail("fs rm", rc) : 0;
  }
  if (verb == L"cp" && argc >= 3) {
    int at = 1;
    uint32_t mode = 0;
    if (std::wcscmp(argv[at], L"-n") == 0) {
      mode = 2;
      ++at;
    }
    if (argc - at != 2 && argc - at != 3) {
      PrintUsage();
      return 2;
    }
    const wchar_t* pattern = argc - at == 3 ? argv[at + 2] : L"*";
    uint32_t count = 0;
    const ResultCode rc = fs->CopyDirectoryFiles(argv[at], Length(argv[at]), argv[at + 1], Length(argv[at + 1]),
                                                 pattern, Length(pattern), mode, &count);
    std::printf("%u files copied\n", count);
    return RylFailed(rc) ? Fail("fs cp", rc) : 0;
  }
  if (verb == L"df" && argc == 2) {
    uint64_t total = 0;
    uint64_t available = 0;
    const ResultCode rc = fs->GetDiskSpace(argv[1], Length(argv[1]), &total, &available);
    if (RylFailed(rc)) return Fail("fs df", rc);
    std::printf("total %llu bytes, available %llu bytes\n", static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(available));
    return 0;
  }
  if (verb == L"id" && argc == 2) {
    uint8_t volume[16];
    uint8_t file[16];
    const ResultCode rc = fs->GetFileIdentity(volume, file, argv[1], Length(argv[1]));
    if (RylFailed(rc)) return Fail("fs id", rc);
    std::printf("volume ");
    PrintHex(volume);
    std::printf("\nfile   ");
    PrintHex(file);
    std::printf("\n");
    return 0;
  }
  PrintUsage();
  return 2;
}

}  // namespace

int RunFs(int argc, wchar_t** argv) {
  if (argc < 1) {
    PrintUsage();
    return 2;
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return Fail("starting the module", started);
  FileSystemService* fs = nullptr;
  const ObjectReceiver receiver = MakeReceiver(reinterpret_cast<void**>(&fs), 3);
  const ResultCode delivered = session.root()->GetFileSystemService(&receiver);
  if (RylFailed(delivered) || fs == nullptr) return Fail("the file-system service", delivered);
  return Run(fs, argc, argv);
}

}  // namespace rylcli
