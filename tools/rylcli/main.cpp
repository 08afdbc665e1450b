// rylcli: a command-line host of rylutil.dll, built only on the public SDK.
//
// The command line is read here as far as all commands share it: the global
// switches, the family, and a request for help anywhere among a family's
// options, so that every family and subcommand answers --help alike.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "cli_output.h"
#include "failure.h"
#include "fmt_command.h"
#include "fs_command.h"
#include "hash_command.h"
#include "help_text.h"
#include "info_command.h"
#include "re_command.h"
#include "reg_command.h"
#include "rsa_command.h"
#include "utf8_text.h"
#include "verbosity.h"
#include "version_command.h"
#include "xml_command.h"
#include "zip_command.h"

namespace rylcli {
namespace {

bool Is(const wchar_t* arg, const wchar_t* a, const wchar_t* b = nullptr) {
  return std::wcscmp(arg, a) == 0 || (b != nullptr && std::wcscmp(arg, b) == 0);
}

bool IsHelp(const wchar_t* arg) { return Is(arg, L"-h", L"--help") || Is(arg, L"/?"); }

// Where a family's arguments may hold --help: re and fmt take free text
// (a pattern, a format's arguments), so only their leading options count;
// the others read options anywhere before "--".
bool AsksForHelp(const std::string& family, int argc, wchar_t** argv) {
  const bool leadingOnly = family == "re" || family == "fmt";
  for (int i = 0; i < argc; ++i) {
    if (Is(argv[i], L"--")) return false;
    if (IsHelp(argv[i])) return true;
    if (leadingOnly && argv[i][0] != L'-') return false;
  }
  return false;
}

// The subcommand a help request is about: the first argument, when the
// family has one of that name.
std::string SubcommandOf(const std::string& family, int argc, wchar_t** argv) {
  if (argc < 1) return {};
  const std::string first = Utf8(argv[0]);
  return HasHelp(family, first) && !first.empty() ? first : std::string();
}

int Dispatch(const std::string& family, int argc, wchar_t** argv) {
  if (family == "info") {
    if (argc != 0) return ReportUsage("info takes no arguments", "info");
    return RunInfo();
  }
  if (family == "version") {
    if (argc != 0) return ReportUsage("version takes no arguments", "version");
    return RunVersion();
  }
  if (family == "zip") return RunZip(argc, argv);
  if (family == "xml") return RunXml(argc, argv);
  if (family == "re") return RunRe(argc, argv);
  if (family == "hash") return RunHash(argc, argv);
  if (family == "rsa") return RunRsa(argc, argv);
  if (family == "reg") return RunReg(argc, argv);
  if (family == "fs") return RunFs(argc, argv);
  if (family == "fmt") return RunFmt(argc, argv);
  return ReportUsage("unknown command '" + family + "'", "");
}

int Main(int argc, wchar_t** argv) {
  int at = 1;
  Verbosity verbosity = Verbosity::kNormal;
  for (; at < argc && argv[at][0] == L'-'; ++at) {
    if (Is(argv[at], L"-q", L"--quiet")) {
      verbosity = Verbosity::kQuiet;
    } else if (Is(argv[at], L"-v", L"--verbose")) {
      verbosity = Verbosity::kVerbose;
    } else if (Is(argv[at], L"--version")) {
      return RunVersion();
    } else if (IsHelp(argv[at])) {
      return PrintHelp("", "");
    } else {
      return ReportUsage("unknown option '" + Utf8(argv[at]) + "'", "");
    }
  }
  SetVerbosity(verbosity);
  if (at >= argc) {
    WriteErr(HelpText("", ""));
    return kExitUsage;
  }
  const std::string family = Utf8(argv[at]);
  const int rest = argc - at - 1;
  wchar_t** args = argv + at + 1;
  if (family == "help") {
    const std::string about = rest >= 1 ? Utf8(args[0]) : std::string();
    const std::string sub = rest >= 2 ? Utf8(args[1]) : std::string();
    if (rest > 2 || (!about.empty() && !HasHelp(about, sub))) {
      return ReportUsage("no help for '" + about + (sub.empty() ? "" : " " + sub) + "'", "");
    }
    return PrintHelp(about, sub);
  }
  if (HasHelp(family, "") && AsksForHelp(family, rest, args)) {
    return PrintHelp(family, SubcommandOf(family, rest, args));
  }
  return Dispatch(family, rest, args);
}

}  // namespace
}  // namespace rylcli

int wmain(int argc, wchar_t** argv) {
  // The C runtime may leave stdout unbuffered when it is not a terminal it
  // recognises, and a listing of 100,000 entries then costs a system call
  // per line. Only a real console needs every line at once; files and pipes
  // get a full buffer.
  if (!rylcli::StdoutIsConsole()) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  const int code = rylcli::Main(argc, argv);
  std::fflush(stdout);
  return code;
}
