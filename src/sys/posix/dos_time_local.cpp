// DOS pairs against the library's time for the portable (fuzzing) build. The
// local time zone is UTC here, so results do not depend on the machine that
// runs the fuzzer.
#include "sys/dos_time.h"

namespace ryl::sys {
namespace {

constexpr uint64_t kHighBit = uint64_t{1} << 63;
constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kSecondsPerDay = 86'400;

struct CivilDate {
  int64_t year;
  uint32_t month;  // 1-12
  uint32_t day;    // 1-31
};

// Days since 1601-01-01 (the first day of a 400-year Gregorian cycle, which
// keeps the arithmetic free of negative numbers) and back.
constexpr uint64_t kDaysPer400Years = 146'097;

uint64_t DaysFromCivil(uint32_t year, uint32_t month, uint32_t day) noexcept {
  // Years start in March so that the leap day ends the year.
  const uint32_t y = month <= 2 ? year - 1 : year;
  const uint32_t sinceEra = y - 1600;
  const uint64_t era = sinceEra / 400;
  const uint32_t yearOfEra = sinceEra % 400;
  const uint32_t monthFromMarch = month > 2 ? month - 3 : month + 9;
  const uint32_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
  const uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  // 1600-03-01 is day -306 from 1601-01-01.
  return era * kDaysPer400Years + dayOfEra - 306;
}

CivilDate CivilFromDays(uint64_t days) noexcept {
  const uint64_t shifted = days + 306;  // days since 1600-03-01
  const uint64_t era = shifted / kDaysPer400Years;
  const uint32_t dayOfEra = static_cast<uint32_t>(shifted % kDaysPer400Years);
  const uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const uint32_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  CivilDate date;
  date.day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
  date.month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  date.year = static_cast<int64_t>(1600 + era * 400 + yearOfEra) + (date.month <= 2 ? 1 : 0);
  return date;
}

}  // namespace

ResultCode RylConvertRylTimeToDosDateTime(uint16_t* outDate, uint16_t* outTime, uint64_t time) noexcept {
  if (outDate == nullptr || outTime == nullptr) return RYL_E_INVALID_ARG;
  if ((time & kHighBit) != 0) return RYL_E_OUT_OF_RANGE;
  const uint64_t seconds = time / kTicksPerSecond;
  const CivilDate date = CivilFromDays(seconds / kSecondsPerDay);
  if (date.year < kRylDosFirstYear || date.year > kRylDosLastYear) return RYL_E_OUT_OF_RANGE;
  const uint32_t secondOfDay = static_cast<uint32_t>(seconds % kSecondsPerDay);
  const uint32_t hour = secondOfDay / 3600;
  const uint32_t minute = secondOfDay / 60 % 60;
  const uint32_t second = secondOfDay % 60;
  *outDate = static_cast<uint16_t>(((date.year - kRylDosFirstYear) << 9) | (date.month << 5) | date.day);
  *outTime = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
  return RYL_OK;
}

ResultCode RylConvertDosDateTimeToRylTime(uint64_t* outTime, uint16_t date, uint16_t time) noexcept {
  if (outTime == nullptr) return RYL_E_INVALID_ARG;
  if (!RylIsValidDosDateTime(date, time)) return RYL_E_INVALID_DATA;
  const uint32_t year = kRylDosFirstYear + (date >> 9);
  const uint32_t month = (date >> 5) & 0x0F;
  const uint32_t day = date & 0x1F;
  const uint32_t hour = time >> 11;
  const uint32_t minute = (time >> 5) & 0x3F;
  const uint32_t second = (time & 0x1F) * 2;
  const uint64_t days = DaysFromCivil(year, month, day);
  const uint64_t seconds = days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  *outTime = seconds * kTicksPerSecond;
  return RYL_OK;
}

}  // namespace ryl::sys
