#include "win32_result.h"

#include <windows.h>

namespace rylcli {

ResultCode FromWin32(unsigned long error) {
  if (error == ERROR_ACCESS_DENIED) return RYL_E_ACCESS_DENIED;
  if (error == ERROR_PATH_NOT_FOUND) return RYL_E_PATH_NOT_FOUND;
  if (error == ERROR_FILE_NOT_FOUND) return RYL_E_FILE_NOT_FOUND;
  return RYL_RESULT(0xE0070000u | (error & 0xFFFFu));
}

std::string Win32ErrorName(unsigned long error) {
  // The errors a file tool meets; the rest keep their number.
  static const struct {
    unsigned long error;
    const char* name;
  } kNames[] = {
      {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
      {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
      {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
      {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
      {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
      {ERROR_INVALID_DRIVE, "ERROR_INVALID_DRIVE"},
      {ERROR_WRITE_PROTECT, "ERROR_WRITE_PROTECT"},
      {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION"},
      {ERROR_LOCK_VIOLATION, "ERROR_LOCK_VIOLATION"},
      {ERROR_HANDLE_EOF, "ERROR_HANDLE_EOF"},
      {ERROR_HANDLE_DISK_FULL, "ERROR_HANDLE_DISK_FULL"},
      {ERROR_FILE_EXISTS, "ERROR_FILE_EXISTS"},
      {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
      {ERROR_BROKEN_PIPE, "ERROR_BROKEN_PIPE"},
      {ERROR_DISK_FULL, "ERROR_DISK_FULL"},
      {ERROR_INVALID_NAME, "ERROR_INVALID_NAME"},
      {ERROR_DIR_NOT_EMPTY, "ERROR_DIR_NOT_EMPTY"},
      {ERROR_ALREADY_EXISTS, "ERROR_ALREADY_EXISTS"},
      {ERROR_NO_DATA, "ERROR_NO_DATA"},
      {ERROR_DIRECTORY, "ERROR_DIRECTORY"},
      {ERROR_SEEK_ON_DEVICE, "ERROR_SEEK_ON_DEVICE"},
      {ERROR_FILENAME_EXCED_RANGE, "ERROR_FILENAME_EXCED_RANGE"},
      {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
      {ERROR_RESOURCE_TYPE_NOT_FOUND, "ERROR_RESOURCE_TYPE_NOT_FOUND"},
      {ERROR_MOD_NOT_FOUND, "ERROR_MOD_NOT_FOUND"},
  };
  for (const auto& entry : kNames) {
    if (entry.error == error) return entry.name;
  }
  return "WIN32_ERROR_" + std::to_string(error);
}

}  // namespace rylcli
