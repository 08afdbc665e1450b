#include "support/temp_dir.h"
#include "security_fixtures.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include <vector>

#include "sys/environment.h"
#include "sys/random.h"

extern "C" {
NTSYSAPI NTSTATUS NTAPI RtlOpenCurrentUser(ACCESS_MASK access, PHANDLE key);
NTSYSAPI NTSTATUS NTAPI NtCreateKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG titleIndex,
                                    PUNICODE_STRING className, ULONG options, PULONG disposition);
NTSYSAPI NTSTATUS NTAPI NtDeleteKey(HANDLE key);
NTSYSAPI NTSTATUS NTAPI NtQueryKey(HANDLE key, ULONG informationClass, PVOID information, ULONG length,
                                   PULONG resultLength);
}

namespace ryl::test {
namespace {

// The security operations ask the environment for the system's version and
// architecture, which the module reads once at start.
class SecurityTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_GE(sys::RylEnvironment::InitializeEnvironment(), 0); }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new SecurityTestEnvironment);

std::u16string RandomSuffix() {
  uint32_t value = 0;
  if (sys::RylGenerateRandomDWord(&value) < 0) value = GetTickCount() ^ GetCurrentProcessId();
  wchar_t text[16];
  wsprintfW(text, L"%08X", value);
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

constexpr ULONG kKeyNameInformation = 3;

}  // namespace

TempDirectory::TempDirectory() {
  wchar_t base[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, base);
  if (length == 0 || length >= MAX_PATH) return;
  std::u16string path = reinterpret_cast<const char16_t*>(base);
  if (!path.empty() && path.back() == u'\\') path.pop_back();
  path += u"\\rylutil-security-" + RandomSuffix();
  if (CreateDirectoryW(Wide(path), nullptr)) path_ = path;
}

TempDirectory::~TempDirectory() {
  if (path_.empty()) return;
  WIN32_FIND_DATAW found;
  const std::u16string pattern = path_ + u"\\*";
  HANDLE search = FindFirstFileW(Wide(pattern), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      const std::u16string file = PathOf(reinterpret_cast<const char16_t*>(found.cFileName));
      SetFileAttributesW(Wide(file), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(Wide(file));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(Wide(path_));
}

std::u16string TempDirectory::MakeFile(const std::u16string& name) {
  const std::u16string path = PathOf(name);
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::u16string();
  DWORD written = 0;
  WriteFile(file, "security", 8, &written, nullptr);
  CloseHandle(file);
  return path;
}

TestKey::TestKey() {
  HANDLE user = nullptr;
  if (RtlOpenCurrentUser(KEY_ALL_ACCESS, &user) != 0) return;
  std::u16string relative = u"Software\\rylutil-test-" + RandomSuffix();
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, Wide(relative));
  OBJECT_ATTRIBUTES attributes = {sizeof(OBJECT_ATTRIBUTES), user, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr};
  ULONG disposition = 0;
  const NTSTATUS created = NtCreateKey(&handle_, KEY_ALL_ACCESS | WRITE_OWNER | WRITE_DAC | DELETE, &attributes, 0,
                                       nullptr, 0, &disposition);
  NtClose(user);
  if (created != 0) {
    handle_ = nullptr;
    return;
  }
  std::vector<uint8_t> buffer(4096);
  ULONG needed = 0;
  if (NtQueryKey(handle_, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
    return;
  }
  const ULONG nameBytes = *reinterpret_cast<const ULONG*>(buffer.data());
  nativePath_.assign(reinterpret_cast<const char16_t*>(buffer.data() + sizeof(ULONG)), nameBytes / sizeof(char16_t));
}

TestKey::~TestKey() {
  if (handle_ == nullptr) return;
  NtDeleteKey(handle_);
  NtClose(handle_);
}

uint32_t CountOwnHandles() { return static_cast<uint32_t>(ProcessHandleCount()); }

}  // namespace ryl::test
