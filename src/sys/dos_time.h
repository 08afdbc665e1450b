// DOS date and time pairs, as ZIP archives carry them, and the library's
// time (100-ns units since 1601-01-01 UTC).
//
// A DOS pair holds no time zone. ZIP tools write the local wall-clock time of
// the machine that made the archive, so these conversions go through the
// local time zone, with the daylight-saving rule in force on that date (not
// the one in force today), the way those tools' localtime() does it. A pair
// holds whole even seconds: converting to DOS drops an odd second and any
// fraction.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

// The range a DOS date can express: 1980-01-01 to 2107-12-31, local time.
inline constexpr uint16_t kRylDosFirstYear = 1980;
inline constexpr uint16_t kRylDosLastYear = 2107;

// RYL_E_OUT_OF_RANGE when the local time falls outside the DOS range (or the
// time is beyond what the system converts); outputs untouched on failure.
[[nodiscard]] ResultCode RylConvertRylTimeToDosDateTime(uint16_t* outDate, uint16_t* outTime, uint64_t time) noexcept;

// RYL_E_INVALID_DATA when the pair names no real moment (month 0 or 13-15,
// day 0 or past the month's end, hour above 23, minute above 59, second
// field above 29); output untouched on failure.
[[nodiscard]] ResultCode RylConvertDosDateTimeToRylTime(uint64_t* outTime, uint16_t date, uint16_t time) noexcept;

// A Win32 FILETIME (the same unit and epoch) given as its two halves.
// RYL_E_OUT_OF_RANGE when the high bit is set, which the system's own time
// routines refuse.
[[nodiscard]] ResultCode RylConvertWin32FileTimeToRylTime(uint64_t* outTime, uint32_t lowDateTime,
                                                          uint32_t highDateTime) noexcept;

// True when the fields of the pair name a real date and time; no time zone
// is involved.
[[nodiscard]] bool RylIsValidDosDateTime(uint16_t date, uint16_t time) noexcept;

}  // namespace ryl::sys
