// Operating-system failures become module codes through one table and one
// rule for native statuses.
#include "sys/result_codes.h"

#include <gtest/gtest.h>

#include "support/result_matchers.h"

namespace ryl::sys {
namespace {

TEST(RylCreateErrorCodeFromWin32, MapsTheTabledErrors) {
  const struct {
    uint32_t error;
    uint32_t code;
  } kCases[] = {{2, 0xE001003D},  {3, 0xE001003E},  {5, 0xE0010058},   {8, 0xE0010001},  {14, 0xE0010001},
                {87, 0xE0010002}, {80, 0xE001004F}, {183, 0xE001004F}, {259, 0xE001000E}, {18, 0xE001000E},
                {38, 0xE001018B}, {122, 0xE0010049}, {120, 0xE001003C}, {50, 0xE001003C}};
  for (const auto& c : kCases) {
    EXPECT_CODE(RylCreateErrorCodeFromWin32(3, c.error), static_cast<ResultCode>(c.code)) << "error " << c.error;
  }
}

TEST(RylCreateErrorCodeFromWin32, SeverityLandsInTheTopBits) {
  EXPECT_CODE(RylCreateErrorCodeFromWin32(1, 259), static_cast<ResultCode>(0x6001000Eu));
  EXPECT_CODE(RylCreateErrorCodeFromWin32(2, 18), static_cast<ResultCode>(0xA001000Eu));
}

TEST(RylCreateErrorCodeFromWin32, KeepsOtherErrorsUnderFacilitySeven) {
  EXPECT_CODE(RylCreateErrorCodeFromWin32(3, 1234), static_cast<ResultCode>(0xE00704D2u));
  EXPECT_CODE(RylCreateErrorCodeFromWin32(2, 32), static_cast<ResultCode>(0xA0070020u));
  EXPECT_CODE(RylCreateErrorCodeFromWin32(3, 0), static_cast<ResultCode>(0xE0070000u));
}

TEST(RylResultFromNtStatus, FollowsTheNativeStatusRule) {
  EXPECT_CODE(RylResultFromNtStatus(0), RYL_OK);
  EXPECT_CODE(RylResultFromNtStatus(static_cast<int32_t>(0x80000005u)), RYL_E_OUT_OF_RANGE);
  // STATUS_OBJECT_NAME_NOT_FOUND -> ERROR_FILE_NOT_FOUND
  EXPECT_CODE(RylResultFromNtStatus(static_cast<int32_t>(0xC0000034u)), RYL_E_FILE_NOT_FOUND);
  // STATUS_OBJECT_PATH_NOT_FOUND -> ERROR_PATH_NOT_FOUND
  EXPECT_CODE(RylResultFromNtStatus(static_cast<int32_t>(0xC000003Au)), RYL_E_PATH_NOT_FOUND);
  // STATUS_ACCESS_DENIED -> ERROR_ACCESS_DENIED
  EXPECT_CODE(RylResultFromNtStatus(static_cast<int32_t>(0xC0000022u)), RYL_E_ACCESS_DENIED);
  // A warning status keeps warning severity: STATUS_NO_MORE_FILES -> ERROR_NO_MORE_FILES.
  EXPECT_CODE(RylResultFromNtStatus(static_cast<int32_t>(0x80000006u)), static_cast<ResultCode>(0xA001000Eu));
  // Below 0x40000000 the severity is 1: STATUS_PENDING -> ERROR_IO_PENDING (997).
  EXPECT_CODE(RylResultFromNtStatus(0x00000103), static_cast<ResultCode>(0x600703E5u));
}

}  // namespace
}  // namespace ryl::sys
