// DOS pairs against the library's time through the system's local time zone.
#include "sys/dos_time.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {
namespace {

constexpr uint64_t kHighBit = uint64_t{1} << 63;

ResultCode LastWin32Error() noexcept { return RylCreateErrorCodeFromWin32(3, GetLastError()); }

FILETIME AsFileTime(uint64_t time) noexcept {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(time);
  ft.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return ft;
}

}  // namespace

ResultCode RylConvertRylTimeToDosDateTime(uint16_t* outDate, uint16_t* outTime, uint64_t time) noexcept {
  if (outDate == nullptr || outTime == nullptr) return RYL_E_INVALID_ARG;
  if ((time & kHighBit) != 0) return RYL_E_OUT_OF_RANGE;
  const FILETIME utcFile = AsFileTime(time);
  SYSTEMTIME utc;
  SYSTEMTIME local;
  if (!FileTimeToSystemTime(&utcFile, &utc)) return LastWin32Error();
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return LastWin32Error();
  if (local.wYear < kRylDosFirstYear || local.wYear > kRylDosLastYear) return RYL_E_OUT_OF_RANGE;
  *outDate = static_cast<uint16_t>(((local.wYear - kRylDosFirstYear) << 9) | (local.wMonth << 5) | local.wDay);
  *outTime = static_cast<uint16_t>((local.wHour << 11) | (local.wMinute << 5) | (local.wSecond / 2));
  return RYL_OK;
}

ResultCode RylConvertDosDateTimeToRylTime(uint64_t* outTime, uint16_t date, uint16_t time) noexcept {
  if (outTime == nullptr) return RYL_E_INVALID_ARG;
  if (!RylIsValidDosDateTime(date, time)) return RYL_E_INVALID_DATA;
  SYSTEMTIME local = {};
  local.wYear = static_cast<WORD>(kRylDosFirstYear + (date >> 9));
  local.wMonth = static_cast<WORD>((date >> 5) & 0x0F);
  local.wDay = static_cast<WORD>(date & 0x1F);
  local.wHour = static_cast<WORD>(time >> 11);
  local.wMinute = static_cast<WORD>((time >> 5) & 0x3F);
  local.wSecond = static_cast<WORD>((time & 0x1F) * 2);
  SYSTEMTIME utc;
  FILETIME utcFile;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return LastWin32Error();
  if (!SystemTimeToFileTime(&utc, &utcFile)) return LastWin32Error();
  *outTime = (uint64_t{utcFile.dwHighDateTime} << 32) | utcFile.dwLowDateTime;
  return RYL_OK;
}

}  // namespace ryl::sys
