// rylcli fmt: the module's printf-style formatter from the command line, the
// way an administrator checks what a format in a configuration file will
// print. The UTF-16 formatter is used so that %s carries any text exactly;
// %S and %hs take the argument as UTF-8.
#include "fmt_command.h"

#include <string>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "format_arguments.h"
#include "growing_output.h"
#include "module_session.h"
#include "utf8_text.h"

namespace rylcli {

int RunFmt(int argc, wchar_t** argv) {
  int at = 0;
  if (at < argc && std::wstring(argv[at]) == L"--") ++at;
  if (at >= argc) return ReportUsage("missing FORMAT", "fmt");
  const std::wstring format = argv[at];
  const std::vector<std::wstring> args(argv + at + 1, argv + argc);
  FormatArgumentList list;
  std::string error;
  if (!list.Build(format, args, &error)) return ReportUsage(error, "fmt");

  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return ReportFailure("cannot start the module", started);
  StringService* strings = nullptr;
  const ObjectReceiver receiver = MakeReceiver(reinterpret_cast<void**>(&strings), RYL_VERSION_STRING_SERVICE);
  const ResultCode got = session.root()->GetStringService(&receiver);
  if (RylFailed(got) || strings == nullptr) return ReportFailure("cannot get the string service", got);

  UnitOutput output;
  const ResultCode rc = strings->FormatAppendW(RYL_ENCODING_UTF8, output.get(),
                                               reinterpret_cast<const RylChar16*>(format.c_str()), list.get());
  if (RylFailed(rc)) return ReportFailure("cannot format '" + Utf8(format) + "'", rc);
  WriteOut(Utf8(std::wstring(reinterpret_cast<const wchar_t*>(output.data()), output.size())) + "\n");
  return kExitOk;
}

}  // namespace rylcli
