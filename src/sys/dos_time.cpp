// The parts of the DOS date and time rules that need no time zone.
#include "sys/dos_time.h"

namespace ryl::sys {
namespace {

constexpr uint64_t kHighBit = uint64_t{1} << 63;

bool IsLeapYear(uint32_t year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

uint32_t DaysInMonth(uint32_t year, uint32_t month) noexcept {
  static constexpr uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29u : kDays[month - 1];
}

}  // namespace

bool RylIsValidDosDateTime(uint16_t date, uint16_t time) noexcept {
  const uint32_t year = kRylDosFirstYear + (date >> 9);
  const uint32_t month = (date >> 5) & 0x0F;
  const uint32_t day = date & 0x1F;
  const uint32_t hour = time >> 11;
  const uint32_t minute = (time >> 5) & 0x3F;
  const uint32_t twoSeconds = time & 0x1F;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  return hour <= 23 && minute <= 59 && twoSeconds <= 29;
}

ResultCode RylConvertWin32FileTimeToRylTime(uint64_t* outTime, uint32_t lowDateTime, uint32_t highDateTime) noexcept {
  if (outTime == nullptr) return RYL_E_INVALID_ARG;
  const uint64_t time = (uint64_t{highDateTime} << 32) | lowDateTime;
  if ((time & kHighBit) != 0) return RYL_E_OUT_OF_RANGE;
  *outTime = time;
  return RYL_OK;
}

}  // namespace ryl::sys
