// rylcli zip: reads the arguments, starts the module and hands over to the
// command asked for.
#include "zip_command.h"

#include <cstdio>

#include "module_session.h"
#include "zip_options.h"
#include "zip_subcommands.h"

namespace rylcli {

int RunZip(int argc, wchar_t** argv) {
  ZipOptions options;
  if (!ParseZipOptions(argc, argv, &options)) {
    PrintZipUsage();
    return 2;
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    std::fprintf(stderr, "rylcli: cannot start the module: %s\n", DescribeResult(started));
    return 1;
  }
  if (options.command == L"list") return ListArchive(session.root(), options);
  if (options.command == L"test") return TestArchive(session.root(), options);
  if (options.command == L"create") return CreateArchive(session.root(), options);
  if (options.command == L"add") return AddToArchive(session.root(), options);
  if (options.command == L"delete") return DeleteFromArchive(session.root(), options);
  return ExtractArchive(session.root(), options);
}

}  // namespace rylcli
