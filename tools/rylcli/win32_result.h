#pragma once

#include <ryl/ryl.h>

#include <string>

namespace rylcli {

// A Win32 error as the module itself reports one it has no code of its own
// for, so that the host's failures read like the library's.
ResultCode FromWin32(unsigned long error);

// The system's name of a Win32 error (ERROR_SHARING_VIOLATION), or
// WIN32_ERROR_<n> for one this table does not know.
std::string Win32ErrorName(unsigned long error);

}  // namespace rylcli
