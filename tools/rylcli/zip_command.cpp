// rylcli zip: reads the arguments, starts the module and hands over to the
// command asked for.
#include "zip_command.h"

#include <cstdio>

#include "cli_output.h"
#include "failure.h"
#include "help_text.h"
#include "module_session.h"
#include "utf8_text.h"
#include "zip_options.h"
#include "zip_subcommands.h"

namespace rylcli {

int RunZip(int argc, wchar_t** argv) {
  ZipOptions options;
  std::string why;
  if (!ParseZipOptions(argc, argv, &options, &why)) {
    const std::string sub = argc >= 1 ? Utf8(argv[0]) : std::string();
    return ReportUsage(why, "zip", HasHelp("zip", sub) ? sub : std::string());
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    return ReportFailure("cannot start the module", started);
  }
  if (options.command == L"list") return ListArchive(session.root(), options);
  if (options.command == L"test") return TestArchive(session.root(), options);
  if (options.command == L"create") return CreateArchive(session.root(), options);
  if (options.command == L"add") return AddToArchive(session.root(), options);
  if (options.command == L"delete") return DeleteFromArchive(session.root(), options);
  return ExtractArchive(session.root(), options);
}

}  // namespace rylcli
