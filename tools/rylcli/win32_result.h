#pragma once

#include <ryl/ryl.h>

namespace rylcli {

// A Win32 error as the module itself reports one it has no code of its own
// for, so that the host's failures read like the library's.
ResultCode FromWin32(unsigned long error);

}  // namespace rylcli
