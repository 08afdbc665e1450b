// The temporary directory and temporary names (slots 13 to 15), and the
// environment reads behind them.
#include <cwctype>
#include <optional>

#include "core/growable_buffer.h"
#include "fs_service/fs_service_host.h"
#include "sys/environment_variable.h"

namespace ryl::test {
namespace {

// Sets or clears one variable for a test and puts back what was there.
class VariableScope {
 public:
  explicit VariableScope(const wchar_t* name) : name_(name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed != 0) {
      std::wstring value(needed, L'\0');
      value.resize(GetEnvironmentVariableW(name, value.data(), needed));
      saved_ = value;
    }
  }
  ~VariableScope() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }
  void Set(const wchar_t* value) { SetEnvironmentVariableW(name_, value); }
  void Clear() { SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
  std::optional<std::wstring> saved_;
};

class TempDirectoryTest : public FsServiceTest {
 protected:
  std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return std::wstring(full, n);
  }
  // Output that must be replaced on success and kept on failure.
  core::GrowableBuffer<char16_t> out_;
  std::wstring Text() { return std::wstring(reinterpret_cast<const wchar_t*>(out_.data()), out_.size()); }
  void Prefill() {
    ASSERT_CODE(out_.Resize(3), RYL_OK);
    out_.data()[0] = u'o';
    out_.data()[1] = u'l';
    out_.data()[2] = u'd';
  }

  VariableScope tmp_{L"TMP"};
  VariableScope temp_{L"TEMP"};
  VariableScope profile_{L"USERPROFILE"};
};

TEST_F(TempDirectoryTest, TmpComesFirstAndIsMadeFull) {
  tmp_.Set(L"C:\\first\\..\\tmpdir");
  temp_.Set(L"C:\\second");
  Prefill();
  ASSERT_CODE(fs_->GetTempDirectory(out_.Output()), RYL_OK);
  EXPECT_EQ(Text(), L"C:\\tmpdir");
}

TEST_F(TempDirectoryTest, TmpUnsetFallsBackToTheFullPathOfTemp) {
  tmp_.Clear();
  temp_.Set(L"relative\\temp");
  profile_.Set(L"C:\\profile");
  ASSERT_CODE(fs_->GetTempDirectory(out_.Output()), RYL_OK);
  EXPECT_EQ(Text(), FullPath(L"relative\\temp"));
}

TEST_F(TempDirectoryTest, OnlyUserProfileSet) {
  tmp_.Clear();
  temp_.Clear();
  profile_.Set(L"C:\\users\\someone\\");
  ASSERT_CODE(fs_->GetTempDirectory(out_.Output()), RYL_OK);
  // No separator is added, and one that is there stays.
  EXPECT_EQ(Text(), L"C:\\users\\someone\\");
}

TEST_F(TempDirectoryTest, NoneOfTheThreeSetIsPathNotFoundAndKeepsTheOutput) {
  tmp_.Clear();
  temp_.Clear();
  profile_.Clear();
  Prefill();
  EXPECT_CODE(fs_->GetTempDirectory(out_.Output()), RYL_E_PATH_NOT_FOUND);
  EXPECT_EQ(Text(), L"old");
}

TEST_F(TempDirectoryTest, ValueLongerThanAClassicPath) {
  // Grows the scratch storage past its 260 characters in place.
  std::wstring longPath = L"C:\\";
  while (longPath.size() < 700) longPath += L"segment\\";
  longPath += L"end";
  tmp_.Set(longPath.c_str());
  ASSERT_CODE(fs_->GetTempDirectory(out_.Output()), RYL_OK);
  EXPECT_EQ(Text(), longPath);
}

TEST_F(FsServiceTest, TempFileNameIsVqzIdentifierTmp) {
  EXPECT_EQ(fs_->GetTempFileNameLength(), 44u);
  core::GrowableBuffer<char16_t> first;
  core::GrowableBuffer<char16_t> second;
  ASSERT_CODE(fs_->MakeTempFileName(first.Output()), RYL_OK);
  ASSERT_CODE(fs_->MakeTempFileName(second.Output()), RYL_OK);
  ASSERT_EQ(first.size(), 44u);
  ASSERT_EQ(second.size(), 44u);
  const std::wstring name(reinterpret_cast<const wchar_t*>(first.data()), first.size());
  EXPECT_EQ(name.substr(0, 4), L"vqz-");
  EXPECT_EQ(name.substr(40), L".tmp");
  for (size_t i = 4; i < 40; ++i) {
    const size_t k = i - 4;  // position inside the identifier
    if (k == 8 || k == 13 || k == 18 || k == 23) {
      EXPECT_EQ(name[i], L'-') << name;
    } else {
      EXPECT_TRUE(std::iswxdigit(name[i])) << name;
    }
  }
  EXPECT_NE(name, std::wstring(reinterpret_cast<const wchar_t*>(second.data()), second.size()));
}

TEST_F(FsServiceTest, TempFileNamePassesAFailingResizeThrough) {
  static const RylOutputBufferCallbacks kFailing = {
      1, [](RylBufferView*, uint32_t, void*) -> ResultCode { return RYL_E_BUFFER_TOO_SMALL; }, nullptr, nullptr,
      nullptr};
  OutputBuffer out{&kFailing, nullptr, {nullptr, 0}};
  EXPECT_CODE(fs_->MakeTempFileName(&out), RYL_E_BUFFER_TOO_SMALL);
  EXPECT_CODE(fs_->GetTempDirectory(&out), RYL_E_BUFFER_TOO_SMALL);
}

// The environment read's grow-and-retry protocol, as the service uses it.
TEST(GetEnvironmentVar, TooSmallGivesTheSizeAndUnsetIsInformational) {
  VariableScope scope(L"RYL_FSOPS_PROBE");
  scope.Set(L"value!");
  char16_t storage[16];
  std::fill(std::begin(storage), std::end(storage), u'#');
  sys::RylWideStringRecord record{storage, 5, 0xDEADBEEF};
  uint32_t needed = 0xDEADBEEF;
  EXPECT_CODE(sys::RylEnvironment::GetEnvironmentVar(u"RYL_FSOPS_PROBE", &record, &needed), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(needed, 7u);
  EXPECT_EQ(record.length, 0xDEADBEEFu);

  record = {storage, needed - 1, 0};
  ASSERT_CODE(sys::RylEnvironment::GetEnvironmentVar(u"RYL_FSOPS_PROBE", &record, nullptr), RYL_OK);
  EXPECT_EQ(record.length, 6u);
  EXPECT_EQ(std::u16string(storage), u"value!");

  record = {nullptr, 0, 0};
  needed = 0;
  EXPECT_CODE(sys::RylEnvironment::GetEnvironmentVar(u"RYL_FSOPS_PROBE", &record, &needed), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(needed, 7u);

  scope.Set(L"");
  record = {storage, 15, 0xDEADBEEF};
  ASSERT_CODE(sys::RylEnvironment::GetEnvironmentVar(u"RYL_FSOPS_PROBE", &record, nullptr), RYL_OK);
  EXPECT_EQ(record.length, 0u);
  EXPECT_EQ(storage[0], u'\0');

  scope.Clear();
  record = {storage, 15, 0xDEADBEEF};
  EXPECT_CODE(sys::RylEnvironment::GetEnvironmentVar(u"RYL_FSOPS_PROBE", &record, &needed), RYL_RESULT(0x6001006Au));
  EXPECT_EQ(record.length, 0xDEADBEEFu);
  EXPECT_CODE(sys::RylEnvironment::GetEnvironmentVar(u"", &record, &needed), RYL_E_INVALID_ARG);
}

}  // namespace
}  // namespace ryl::test
