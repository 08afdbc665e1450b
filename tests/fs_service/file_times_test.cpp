// The time setters and getters (slots 26 to 37).
#include "fs_service/fs_service_host.h"

namespace ryl::test {
namespace {

constexpr uint64_t kUnchanged = ~uint64_t{0};
constexpr uint64_t kAccess = 129000000000000000ull;  // 2009
constexpr uint64_t kWrite = 131500000000000000ull;   // 2017
constexpr uint64_t kCreation = 125000000000000000ull;

class TimesTest : public FsServiceTest {
 protected:
  void SetUp() override {
    FsServiceTest::SetUp();
    if (HasFatalFailure()) return;
    file_ = Path(L"times.txt");
    ASSERT_TRUE(WriteBytes(file_, "x"));
  }
  const wchar_t* F() const { return file_.c_str(); }
  uint32_t N() const { return Len(file_); }

  std::wstring file_;
};

TEST_F(TimesTest, SingleSettersRoundTripThroughSingleGetters) {
  for (const uint8_t attributesOnly : {0, 1}) {
    ASSERT_CODE(fs_->SetLastWriteTime(F(), N(), kWrite + attributesOnly, attributesOnly), RYL_OK);
    ASSERT_CODE(fs_->SetLastAccessTime(F(), N(), kAccess + attributesOnly, attributesOnly), RYL_OK);
    uint64_t write = kSentinel64;
    uint64_t access = kSentinel64;
    ASSERT_CODE(fs_->GetLastWriteTime(F(), N(), &write), RYL_OK);
    ASSERT_CODE(fs_->GetLastAccessTime(F(), N(), &access), RYL_OK);
    EXPECT_EQ(write, kWrite + attributesOnly);
    EXPECT_EQ(access, kAccess + attributesOnly);
    // And what the system reports agrees.
    Win32Times times{};
    ASSERT_TRUE(ReadTimes(file_, &times));
    EXPECT_EQ(AsUint64(times.lastWrite), kWrite + attributesOnly);
    EXPECT_EQ(AsUint64(times.lastAccess), kAccess + attributesOnly);
  }
}

TEST_F(TimesTest, AllOnesLeavesATimeAsItIs) {
  ASSERT_CODE(fs_->SetFileTimes3(F(), N(), kUnchanged, kAccess, kWrite, 0), RYL_OK);
  ASSERT_CODE(fs_->SetFileTimes3(F(), N(), kUnchanged, kUnchanged, kWrite + 7, 0), RYL_OK);
  ASSERT_CODE(fs_->SetLastAccessTime(F(), N(), kUnchanged, 1), RYL_OK);
  ASSERT_CODE(fs_->SetFileTimes4(F(), N(), kUnchanged, kUnchanged, kUnchanged, kUnchanged), RYL_OK);
  Win32Times times{};
  ASSERT_TRUE(ReadTimes(file_, &times));
  EXPECT_EQ(AsUint64(times.lastAccess), kAccess);
  EXPECT_EQ(AsUint64(times.lastWrite), kWrite + 7);
}

// The setters take (creation, last access, last write, change); the combined
// getters give (creation, last write, last access, change).
TEST_F(TimesTest, CombinedFormsKeepTheirArgumentOrders) {
  ASSERT_CODE(fs_->SetFileTimes4(F(), N(), kUnchanged, kAccess, kWrite, kUnchanged), RYL_OK);
  uint64_t creation = kSentinel64, write = kSentinel64, access = kSentinel64, change = kSentinel64;
  ASSERT_CODE(fs_->GetFileTimes4(F(), N(), &creation, &write, &access, &change), RYL_OK);
  EXPECT_EQ(write, kWrite);
  EXPECT_EQ(access, kAccess);
  EXPECT_NE(creation, kSentinel64);
  EXPECT_NE(change, kSentinel64);

  uint64_t change2 = kSentinel64;
  ASSERT_CODE(fs_->GetChangeTime(F(), N(), &change2), RYL_OK);
  EXPECT_EQ(change2, change);
  uint64_t creation2 = kSentinel64;
  ASSERT_CODE(fs_->GetCreationTime(F(), N(), &creation2), RYL_OK);
  EXPECT_EQ(creation2, creation);

  ASSERT_CODE(fs_->SetFileTimes3(F(), N(), kUnchanged, kAccess + 1, kWrite + 2, 1), RYL_OK);
  creation = write = access = kSentinel64;
  ASSERT_CODE(fs_->GetFileTimes3(F(), N(), &creation, &write, &access), RYL_OK);
  EXPECT_EQ(write, kWrite + 2);
  EXPECT_EQ(access, kAccess + 1);
  // Outputs a host does not want may be null.
  write = kSentinel64;
  ASSERT_CODE(fs_->GetFileTimes4(F(), N(), nullptr, &write, nullptr, nullptr), RYL_OK);
  EXPECT_EQ(write, kWrite + 2);
}

TEST_F(TimesTest, FailuresLeaveEveryOutput) {
  const std::wstring missing = Path(L"missing.txt");
  uint64_t a = kSentinel64, b = kSentinel64, c = kSentinel64, d = kSentinel64;
  EXPECT_CODE(fs_->GetFileTimes4(missing.c_str(), Len(missing), &a, &b, &c, &d), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(fs_->GetFileTimes3(missing.c_str(), Len(missing), &a, &b, &c), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(fs_->GetLastWriteTime(missing.c_str(), Len(missing), &a), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(fs_->GetCreationTime(missing.c_str(), Len(missing), &b), RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(a, kSentinel64);
  EXPECT_EQ(b, kSentinel64);
  EXPECT_EQ(c, kSentinel64);
  EXPECT_EQ(d, kSentinel64);
  EXPECT_CODE(fs_->GetLastAccessTime(F(), N(), nullptr), RYL_E_INVALID_ARG);
  EXPECT_CODE(fs_->GetChangeTime(nullptr, 5, &a), RYL_E_INVALID_ARG);

  EXPECT_CODE(fs_->SetLastWriteTime(missing.c_str(), Len(missing), kWrite, 0), RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(fs_->SetChangeTime(missing.c_str(), Len(missing), kWrite), RYL_E_FILE_NOT_FOUND);
  EXPECT_FALSE(Exists(missing));
  const std::wstring noDir = Path(L"no\\f.txt");
  EXPECT_CODE(fs_->SetFileTimes4(noDir.c_str(), Len(noDir), kWrite, kWrite, kWrite, kWrite), RYL_E_PATH_NOT_FOUND);
}

TEST_F(TimesTest, CreationTimeRoundTrips) {
  ASSERT_CODE(fs_->SetCreationTime(F(), N(), kCreation, 0), RYL_OK);
  uint64_t creation = kSentinel64;
  ASSERT_CODE(fs_->GetCreationTime(F(), N(), &creation), RYL_OK);
  if (RunningUnderWine() && creation != kCreation) {
    GTEST_SKIP() << "Wine does not store a file's creation time (FileBasicInformation CreationTime is ignored)";
  }
  EXPECT_EQ(creation, kCreation);
}

TEST_F(TimesTest, ChangeTimeRoundTrips) {
  const uint64_t when = kWrite + 12345;
  ASSERT_CODE(fs_->SetChangeTime(F(), N(), when), RYL_OK);
  uint64_t change = kSentinel64;
  ASSERT_CODE(fs_->GetChangeTime(F(), N(), &change), RYL_OK);
  if (RunningUnderWine() && change != when) {
    GTEST_SKIP() << "Wine does not store a file's change time (FileBasicInformation ChangeTime is ignored)";
  }
  EXPECT_EQ(change, when);
}

}  // namespace
}  // namespace ryl::test
