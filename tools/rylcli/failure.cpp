#include "failure.h"

#include <cstdio>

#include "cli_output.h"
#include "help_text.h"
#include "module_session.h"
#include "win32_result.h"

namespace rylcli {

std::string ResultName(ResultCode code) {
  if (const char* name = RylResultName(code)) return name;
  const auto bits = static_cast<uint32_t>(code);
  if ((bits & 0xFFFF0000u) == 0xE0070000u) return Win32ErrorName(bits & 0xFFFFu);
  char text[32];
  std::snprintf(text, sizeof text, "RYL_%s_%08X", RylFailed(code) ? "E" : "S", bits);
  return text;
}

int ReportFailure(const std::string& what, ResultCode code) {
  Err("rylcli: %s: %s\n", what.c_str(), DescribeResult(code));
  return kExitFailed;
}

int ReportWin32Failure(const std::string& what, unsigned long error) { return ReportFailure(what, FromWin32(error)); }

int ReportUsage(const std::string& message, const std::string& family, const std::string& sub) {
  Err("rylcli: %s\n", message.c_str());
  PrintSynopsis(family, sub);
  std::string command = family.empty() ? "" : family + " ";
  if (!sub.empty()) command += sub + " ";
  Err("Type 'rylcli %s--help' for more.\n", command.c_str());
  return kExitUsage;
}

}  // namespace rylcli
