// The platform helpers the path code rests on: recognising native paths, the
// current directory's grow-and-retry protocol, and the conversion behind file
// opens that keeps reserved device names files.
#include <string>

#include "fs/path_host.h"
#include "sys/dos_path_conversion.h"
#include "sys/nt_file_path.h"
#include "sys/process.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::sys {
namespace {

bool IsNt(const wchar_t* path, size_t length) {
  return RylWinIsNtFilePath(reinterpret_cast<const char16_t*>(path), static_cast<uint32_t>(length));
}
bool IsNt(const wchar_t* path) { return IsNt(path, wcslen(path)); }

TEST(RylWinIsNtFilePath, OnlyPrefixesNoDosPathCanHave) {
  for (const wchar_t* yes : {L"\\??\\C:\\x", L"\\??\\", L"\\??\\UNC\\s\\x", L"\\GLOBAL??\\C:\\x", L"\\global??\\x"}) {
    EXPECT_TRUE(IsNt(yes)) << yes;
  }
  for (const wchar_t* no : {L"C:\\x", L"\\\\?\\C:\\x", L"\\\\.\\C:", L"\\Device\\HarddiskVolume1\\x", L"/?\?/x",
                            L"\\??", L"\\?\\x", L"??\\x", L"", L"\\GLOBAL?\\x"}) {
    EXPECT_FALSE(IsNt(no)) << no;
  }
  EXPECT_FALSE(IsNt(L"\\??\\x", 3));  // only the given length counts
  EXPECT_FALSE(RylWinIsNtFilePath(nullptr, 4));
}

TEST(RylProcessGetCurrentDirectoryPath, TooSmallGivesTheSizeThenTheSecondCallFits) {
  test::CurrentDirectoryScope cwd;
  ASSERT_TRUE(cwd.Set(L"C:\\windows\\system32"));
  const std::wstring expected = test::CurrentDirectory();

  char16_t tiny[4] = {u'x', u'x', u'x', u'x'};
  RylWideStringRecord record{tiny, 3, 0xDEADBEEF};
  uint32_t needed = 0xDEADBEEF;
  EXPECT_CODE(RylProcess::GetCurrentDirectoryPath(&record, &needed), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(needed, expected.size() + 1);
  EXPECT_EQ(record.length, 0xDEADBEEFu);

  // A record of the needed size minus one character, called with no size output.
  std::u16string storage(needed, u'#');
  record = {storage.data(), needed - 1, 0};
  ASSERT_CODE(RylProcess::GetCurrentDirectoryPath(&record, nullptr), RYL_OK);
  EXPECT_EQ(record.length, expected.size());
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(storage.c_str())), expected);

  // One character short again: refused, and no size output is no problem.
  record = {storage.data(), needed - 2, 0};
  EXPECT_CODE(RylProcess::GetCurrentDirectoryPath(&record, nullptr), RYL_E_OUT_OF_RANGE);

  record = {nullptr, 0, 0};
  needed = 0;
  EXPECT_CODE(RylProcess::GetCurrentDirectoryPath(&record, &needed), RYL_E_OUT_OF_RANGE);
  EXPECT_EQ(needed, expected.size() + 1);
  EXPECT_CODE(RylProcess::GetCurrentDirectoryPath(nullptr, &needed), RYL_E_INVALID_ARG);
}

struct Converted {
  ResultCode code;
  std::wstring native;
};

Converted EliminateDosDevice(const std::wstring& dos) {
  ScopedRtlUnicodeString out;
  const ResultCode code = RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(dos.c_str(), out.Receive());
  return {code, out.has_value() ? std::wstring(out.data(), out.size()) : std::wstring(L"<none>")};
}

TEST(EliminateDosDevice, ReservedNamesBecomeFilesInTheirDirectory) {
  test::CurrentDirectoryScope cwd;
  ASSERT_TRUE(cwd.Set(L"C:\\windows"));
  const struct {
    const wchar_t* dos;
    const wchar_t* native;
  } cases[] = {
      {L"C:\\d\\con", L"\\??\\C:\\d\\con"},
      {L"C:\\d\\con.txt", L"\\??\\C:\\d\\con.txt"},
      {L"C:\\d\\..\\e\\NUL . .", L"\\??\\C:\\e\\NUL"},
      {L"C:/d/com1.log", L"\\??\\C:\\d\\com1.log"},
      {L"con", L"\\??\\C:\\windows\\con"},
      {L"sub\\aux", L"\\??\\C:\\windows\\sub\\aux"},
      {L"C:prn", L"\\??\\C:\\windows\\prn"},
      {L"C:\\d\\file. ", L"\\??\\C:\\d\\file"},
      {L"C:\\d\\com0", L"\\??\\C:\\d\\com0"},
      {L"\\??\\C:\\d\\con", L"\\??\\C:\\d\\con"},
      {L"\\\\?\\C:\\d\\con", L"\\??\\C:\\d\\con"},
  };
  for (const auto& c : cases) {
    const Converted r = EliminateDosDevice(c.dos);
    EXPECT_CODE(r.code, RYL_OK) << c.dos;
    EXPECT_EQ(r.native, c.native) << c.dos;
  }
  // Asking for the device namespace explicitly still reaches the device.
  const Converted device = EliminateDosDevice(L"\\\\.\\con");
  EXPECT_CODE(device.code, RYL_OK);
  EXPECT_EQ(device.native, L"\\??\\con");
}

TEST(EliminateDosDevice, FailuresLeaveTheOutputUntouched) {
  UNICODE_STRING sentinel{7, 9, reinterpret_cast<PWSTR>(0x1234)};
  EXPECT_CODE(RylNtdll_RtlDosPathNameToNtPathName_U_EliminateDosDevice(L"", &sentinel), RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(RylNtdll_RtlDosPathNameToNtPathName_U_EliminateDosDevice(nullptr, &sentinel), RYL_E_INVALID_ARG);
  EXPECT_EQ(sentinel.Length, 7);
  EXPECT_EQ(sentinel.Buffer, reinterpret_cast<PWSTR>(0x1234));
  EXPECT_CODE(RylNtdll_RtlDosPathNameToNtPathName_U_EliminateDosDevice(L"C:\\x", nullptr), RYL_E_INVALID_ARG);
}

TEST(EliminateDosDevice, AFileNamedLikeADeviceIsReallyCreated) {
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring dir = std::wstring(temp) + L"ryl-devname-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  const std::wstring dos = dir + L"\\nul.txt";

  ScopedRtlUnicodeString native;
  ASSERT_CODE(RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(dos.c_str(), native.Receive()), RYL_OK);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, const_cast<UNICODE_STRING*>(native.ptr()), OBJ_CASE_INSENSITIVE, nullptr,
                             nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE file = nullptr;
  const NTSTATUS status = NtCreateFile(&file, GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr,
                                       FILE_ATTRIBUTE_NORMAL, 0, FILE_CREATE, FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  EXPECT_EQ(status, 0) << std::hex << status;
  if (status == 0) NtClose(file);

  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((dir + L"\\*.txt").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no file was created: the name reached the device";
  EXPECT_STREQ(found.cFileName, L"nul.txt");
  FindClose(search);
  EXPECT_TRUE(DeleteFileW((L"\\\\?\\" + dos).c_str()));
  EXPECT_TRUE(RemoveDirectoryW(dir.c_str()));
}

}  // namespace
}  // namespace ryl::sys
