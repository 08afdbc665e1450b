// rylcli: a command-line host of rylutil.dll, built only on the public SDK.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "fs_command.h"
#include "hash_command.h"
#include "info_command.h"
#include "re_command.h"
#include "rsa_command.h"
#include "xml_command.h"
#include "zip_command.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: rylcli <command>\n"
               "commands:\n"
               "  info    load the module and print the interface versions it offers\n"
               "  zip     list, extract, test, create, add to or delete from ZIP archives\n"
               "          (rylcli zip for details)\n"
               "  xml     check a document, or write it back indented (rylcli xml for details)\n"
               "  re      print the lines of a file that a regular expression matches\n"
               "          (rylcli re for details)\n"
               "  hash    a file's digest as sha256sum prints it; this build offers no algorithm\n"
               "  rsa     sign a file or verify a signature with raw RSA key components\n"
               "          (rylcli rsa for details)\n"
               "  fs      make and remove directory trees, copy a directory's files, free\n"
               "          space and identities (rylcli fs for details)\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The C runtime may leave stdout unbuffered when it is not a terminal it
  // recognises, and a listing of 100,000 entries then costs a system call
  // per line. Only a real console needs every line at once; files and pipes
  // get a full buffer.
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  if (std::wcscmp(argv[1], L"info") == 0) return rylcli::RunInfo();
  if (std::wcscmp(argv[1], L"zip") == 0) return rylcli::RunZip(argc - 2, argv + 2);
  if (std::wcscmp(argv[1], L"xml") == 0) return rylcli::RunXml(argc - 2, argv + 2);
  if (std::wcscmp(argv[1], L"re") == 0) return rylcli::RunRe(argc - 2, argv + 2);
  if (std::wcscmp(argv[1], L"hash") == 0) return rylcli::RunHash(argc - 2, argv + 2);
  if (std::wcscmp(argv[1], L"rsa") == 0) return rylcli::RunRsa(argc - 2, argv + 2);
  if (std::wcscmp(argv[1], L"fs") == 0) return rylcli::RunFs(argc - 2, argv + 2);
  std::fprintf(stderr, "rylcli: unknown command '%ls'\n", argv[1]);
  PrintUsage();
  return 2;
}
