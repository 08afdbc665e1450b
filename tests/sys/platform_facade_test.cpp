// Time, randomness, identifiers and the environment as the services will see
// them.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "support/result_matchers.h"
#include "sys/environment.h"
#include "sys/guid_utils.h"
#include "sys/random.h"
#include "sys/system_time.h"

namespace ryl::sys {
namespace {

TEST(RylGetSystemTime, AgreesWithTheWin32Clock) {
  uint64_t ours = 0;
  ASSERT_CODE(RylGetSystemTime(&ours), RYL_OK);
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const uint64_t theirs = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
  const uint64_t diff = ours > theirs ? ours - theirs : theirs - ours;
  EXPECT_LT(diff, 50'000'000u);  // five seconds in 100-ns units
  EXPECT_CODE(RylGetSystemTime(nullptr), RYL_E_INVALID_ARG);
}

TEST(RylGenerateRandomDWord, ProducesVaryingValues) {
  std::set<uint32_t> seen;
  for (int i = 0; i < 64; ++i) {
    uint32_t value = 0;
    ASSERT_CODE(RylGenerateRandomDWord(&value), RYL_OK);
    seen.insert(value);
  }
  // 64 draws from 2^32 values collide with negligible probability.
  EXPECT_GT(seen.size(), 60u);
}

TEST(RylGuidUtils, TextFormIsThirtySixCharactersInGuidLayout) {
  RylGuid guid;
  ASSERT_CODE(RylGuidUtils::CreateLuid(&guid), RYL_OK);
  char16_t text[RylGuidUtils::kTextLength + 1] = {};
  RylGuidUtils::GetString(guid, text);
  std::u16string s(text);
  ASSERT_EQ(s.size(), 36u);
  for (size_t i = 0; i < s.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(s[i], u'-') << i;
    } else {
      EXPECT_TRUE((s[i] >= u'0' && s[i] <= u'9') || (s[i] >= u'A' && s[i] <= u'F')) << i;
    }
  }
  EXPECT_EQ(s[14], u'4');  // random-based identifier
}

TEST(RylGuidUtils, TextFollowsTheWindowsByteOrder) {
  const RylGuid guid = {{0x89, 0x1B, 0xBB, 0x00, 0x97, 0xDC, 0x41, 0x9F, 0x96, 0x71, 0xA2, 0x12, 0x33, 0x37, 0xDE,
                         0x83}};
  char16_t text[37] = {};
  RylGuidUtils::GetString(guid, text);
  EXPECT_EQ(std::u16string(text), u"00BB1B89-DC97-9F41-9671-A2123337DE83");
}

TEST(RylGuidUtils, FreshIdentifiersDiffer) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 100; ++i) {
    RylGuid guid;
    ASSERT_CODE(RylGuidUtils::CreateLuid(&guid), RYL_OK);
    char16_t text[37] = {};
    RylGuidUtils::GetString(guid, text);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(RylEnvironment, DescribesAThirtyTwoBitProcess) {
  ASSERT_CODE(RylEnvironment::InitializeEnvironment(), RYL_OK);
  EXPECT_EQ(RylEnvironment::GetOsInfoData().processArchitecture, 1u);
  const uint32_t system = RylEnvironment::GetOsInfoData().systemArchitecture;
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(system == 2 || system == 3, wow64 != FALSE);
  EXPECT_EQ(RylEnvironment::GetPageSize(), 4096u);
  EXPECT_EQ(RylEnvironment::GetAllocationGranularity(), 0x10000u);
  EXPECT_TRUE(RylEnvironment::OsInfo::IsWindowsVistaOrHigher());
  RylEnvironment::DestroyEnvironment();
}

}  // namespace
}  // namespace ryl::sys
