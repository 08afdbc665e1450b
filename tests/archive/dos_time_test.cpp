// DOS date and time pairs against the library's time: local wall-clock
// time both ways, two-second steps, and the 1980 to 2107 range.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/result_matchers.h"
#include "sys/dos_time.h"

namespace ryl::sys {
namespace {

constexpr uint16_t Date(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t Time(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// The UTC time the system gives for a local wall-clock time: an oracle of
// the local zone independent of the facade's own arithmetic.
uint64_t SystemLocalToUtc(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME local = {};
  local.wYear = static_cast<WORD>(year);
  local.wMonth = static_cast<WORD>(month);
  local.wDay = static_cast<WORD>(day);
  local.wHour = static_cast<WORD>(hour);
  local.wMinute = static_cast<WORD>(minute);
  local.wSecond = static_cast<WORD>(second);
  SYSTEMTIME utc;
  FILETIME ft;
  EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
  EXPECT_TRUE(SystemTimeToFileTime(&utc, &ft));
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

TEST(DosTime, PairsRoundTripThroughTheLibraryTimeAtEveryKindOfDate) {
  struct Pair {
    int y, mo, d, h, mi, s;
  };
  for (const Pair& p : {Pair{1980, 1, 1, 0, 0, 0}, Pair{2000, 2, 29, 23, 59, 58}, Pair{2021, 6, 15, 12, 34, 56},
                        Pair{2100, 2, 28, 1, 2, 4}, Pair{2107, 12, 31, 23, 59, 58}}) {
    const uint16_t date = Date(p.y, p.mo, p.d);
    const uint16_t time = Time(p.h, p.mi, p.s);
    uint64_t ryl = 0;
    ASSERT_CODE(RylConvertDosDateTimeToRylTime(&ryl, date, time), RYL_OK) << p.y;
    EXPECT_EQ(ryl, SystemLocalToUtc(p.y, p.mo, p.d, p.h, p.mi, p.s)) << p.y;
    uint16_t dateBack = 0;
    uint16_t timeBack = 0;
    ASSERT_CODE(RylConvertRylTimeToDosDateTime(&dateBack, &timeBack, ryl), RYL_OK) << p.y;
    EXPECT_EQ(dateBack, date) << p.y;
    EXPECT_EQ(timeBack, time) << p.y;
  }
}

TEST(DosTime, OddSecondsAndFractionsAreDroppedTowardsTheEarlierPair) {
  const uint64_t base = SystemLocalToUtc(2010, 7, 4, 10, 20, 30);
  for (uint64_t extra : {uint64_t{0}, uint64_t{1}, uint64_t{10'000'000}, uint64_t{19'999'999}}) {
    uint16_t date = 0;
    uint16_t time = 0;
    ASSERT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, base + extra), RYL_OK);
    EXPECT_EQ(date, Date(2010, 7, 4));
    EXPECT_EQ(time, Time(10, 20, 30)) << extra;
  }
}

TEST(DosTime, TimesOutsideTheDosRangeAreRefusedLeavingOutputs) {
  uint16_t date = 0xAAAA;
  uint16_t time = 0xBBBB;
  const uint64_t first = SystemLocalToUtc(1980, 1, 1, 0, 0, 0);
  const uint64_t last = SystemLocalToUtc(2107, 12, 31, 23, 59, 58);
  EXPECT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, first - 1), RYL_E_OUT_OF_RANGE);
  EXPECT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, last + 20'000'000), RYL_E_OUT_OF_RANGE);
  EXPECT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, 0), RYL_E_OUT_OF_RANGE);
  EXPECT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, UINT64_MAX), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(date, 0xAAAA);
  EXPECT_EQ(time, 0xBBBB);
  ASSERT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, first), RYL_OK);
  EXPECT_EQ(date, Date(1980, 1, 1));
  ASSERT_CODE(RylConvertRylTimeToDosDateTime(&date, &time, last + 19'999'999), RYL_OK);
  EXPECT_EQ(date, Date(2107, 12, 31));
  EXPECT_EQ(time, Time(23, 59, 58));
}

TEST(DosTime, PairsThatNameNoMomentAreRefused) {
  uint64_t out = 0xDEADBEEF;
  for (const auto& [date, time] : {std::pair{uint16_t{0}, uint16_t{0}}, std::pair{Date(2001, 2, 29), Time(0, 0, 0)},
                                   std::pair{Date(2001, 4, 31), Time(0, 0, 0)},
                                   std::pair{static_cast<uint16_t>(Date(2001, 1, 1) | (13 << 5)), Time(0, 0, 0)},
                                   std::pair{Date(2001, 1, 1), static_cast<uint16_t>(24 << 11)},
                                   std::pair{Date(2001, 1, 1), static_cast<uint16_t>(60 << 5)},
                                   std::pair{Date(2001, 1, 1), static_cast<uint16_t>(30)}}) {
    EXPECT_CODE(RylConvertDosDateTimeToRylTime(&out, date, time), RYL_E_INVALID_DATA) << date << " " << time;
    EXPECT_FALSE(RylIsValidDosDateTime(date, time));
  }
  EXPECT_EQ(out, 0xDEADBEEFu);
  EXPECT_TRUE(RylIsValidDosDateTime(Date(2000, 2, 29), Time(23, 59, 58)));
  EXPECT_CODE(RylConvertDosDateTimeToRylTime(nullptr, Date(2000, 1, 1), 0), RYL_E_INVALID_ARG);
}

TEST(DosTime, Win32FileTimesAreTheLibraryTimeUpToTheSignBit) {
  uint64_t out = 0;
  ASSERT_CODE(RylConvertWin32FileTimeToRylTime(&out, 0x89ABCDEF, 0x01234567), RYL_OK);
  EXPECT_EQ(out, 0x0123456789ABCDEFu);
  out = 5;
  EXPECT_CODE(RylConvertWin32FileTimeToRylTime(&out, 0, 0x80000000), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(out, 5u);
}

}  // namespace
}  // namespace ryl::sys
