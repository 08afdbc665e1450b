#include "win32_result.h"

#include <windows.h>

namespace rylcli {

ResultCode FromWin32(unsigned long error) {
  if (error == ERROR_ACCESS_DENIED) return RYL_E_ACCESS_DENIED;
  if (error == ERROR_PATH_NOT_FOUND) return RYL_E_PATH_NOT_FOUND;
  return RYL_RESULT(0xE0070000u | (error & 0xFFFFu));
}

}  // namespace rylcli
