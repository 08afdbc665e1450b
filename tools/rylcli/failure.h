// The one form every rylcli error takes, and the exit codes every command
// shares:
//
//   rylcli: <what>: <code name> (0x........)
//
// 0 the work succeeded, 1 the work failed, 2 the command line was wrong
// (nothing was attempted).
#pragma once

#include <ryl/ryl.h>

#include <string>

namespace rylcli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The module's name for a code; for a Win32 error the module or rylcli
// carries (0xE007xxxx), the system's ERROR_ name; otherwise a name built
// from the facility so that every code has one.
std::string ResultName(ResultCode code);

// Prints the error line; returns kExitFailed.
int ReportFailure(const std::string& what, ResultCode code);
// A Win32 error (GetLastError) in the same form.
int ReportWin32Failure(const std::string& what, unsigned long error);

// "rylcli: <message>", the command's synopsis and where its help is, on
// stderr; returns kExitUsage.
int ReportUsage(const std::string& message, const std::string& family, const std::string& sub = {});

}  // namespace rylcli
