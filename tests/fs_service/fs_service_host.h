// What the file-system service tests share: the service reached through the
// DLL as a host reaches it, a scratch directory per test, file helpers that
// use Win32 directly (so that what a test checks does not rest on the code
// under test), the process's handle count, and the extra volumes that the
// CTest fixture (volumes.sh) maps into the Wine prefix.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>
// After windows.h.
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/module_fixture.h"
#include "support/temp_dir.h"
#include "ryl/ryl.h"
#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

// Win32 errors outside the module's own table: facility 7, the error kept whole.
inline constexpr ResultCode kSharingViolationCode = RYL_RESULT(0xE0070020u);  // 32
inline constexpr ResultCode kNotSameDeviceCode = RYL_RESULT(0xE0070011u);     // 17
inline constexpr ResultCode kDiskFullCode = RYL_RESULT(0xE0070070u);          // 112
inline constexpr uint64_t kSentinel64 = 0xDEADBEEFDEADBEEFull;

inline uint32_t Len(const std::wstring& s) { return static_cast<uint32_t>(s.size()); }

// True under Wine, whose ntdll exports its version; used only to name what
// Wine lacks when a test has to skip.
inline bool RunningUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// --- Files, through Win32 -------------------------------------------------

inline bool WriteBytes(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      bytes.empty() ||
      (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
  CloseHandle(file);
  return ok;
}

// The whole content, or "<unreadable>" when the file cannot be read.
inline std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

// Bytes that differ from block to block, so that a misplaced block shows.
inline std::string Pattern(size_t size, uint32_t seed = 1) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}

struct Win32Times {
  FILETIME creation;
  FILETIME lastAccess;
  FILETIME lastWrite;
};

inline uint64_t AsUint64(const FILETIME& time) { return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

inline bool ReadTimes(const std::wstring& path, Win32Times* out) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileTime(file, &out->creation, &out->lastAccess, &out->lastWrite) != 0;
  CloseHandle(file);
  return ok;
}

inline bool WriteLastWriteTime(const std::wstring& path, uint64_t time) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME value{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  const bool ok = SetFileTime(file, nullptr, nullptr, &value) != 0;
  CloseHandle(file);
  return ok;
}

// Removes a tree, read-only files included. verbatim is a `\\?\` path.
inline void RemoveTree(const std::wstring& verbatim) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((verbatim + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = verbatim + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(verbatim.c_str());
}

// A directory of its own under root (a path ending in `\`), removed with
// all it holds when the scope ends.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::wstring& root = TempRoot()) {
    for (int attempt = 0; attempt < 16 && path_.empty() && !root.empty(); ++attempt) {
      std::wstring candidate = root + L"rylfsops-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount() + static_cast<DWORD>(attempt));
      if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~ScratchDirectory() {
    if (!path_.empty()) RemoveTree(L"\\\\?\\" + path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  static std::wstring TempRoot() {
    wchar_t temp[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(temp, n);
  }

  bool ready() const { return !path_.empty(); }
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Sets the current directory for one scope and puts the old one back.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::wstring& directory) {
    wchar_t saved[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, saved);
    saved_.assign(saved, n < MAX_PATH ? n : 0);
    SetCurrentDirectoryW(directory.c_str());
  }
  ~CurrentDirectoryScope() { SetCurrentDirectoryW(saved_.c_str()); }
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

 private:
  std::wstring saved_;
};

// --- Security ---------------------------------------------------------------

inline bool SetDacl(const std::wstring& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
  const bool ok = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor) != 0;
  LocalFree(descriptor);
  return ok;
}

inline std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  unsigned char buffer[256];
  DWORD needed = 0;
  std::wstring result;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &needed)) {
    wchar_t* text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      result = text;
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return result;
}

// The file's discretionary list as text; empty when it cannot be read.
inline std::wstring DaclText(const std::wstring& path) {
  DWORD needed = 0;
  GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  std::vector<unsigned char> buffer(needed != 0 ? needed : 1);
  if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, buffer.data(), needed, &needed)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(buffer.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                            &text, nullptr)) {
    return {};
  }
  std::wstring result(text);
  LocalFree(text);
  return result;
}

// --- Reparse points -------------------------------------------------------

// Wine refuses FSCTL_SET_REPARSE_POINT, and its CreateSymbolicLinkW reports
// success without making anything, so neither of these can be made there.
inline constexpr const char* kNoReparsePoints =
    "Wine cannot make reparse points: FSCTL_SET_REPARSE_POINT answers 0xC00000BB and CreateSymbolicLinkW is a "
    "stub, so no symbolic link or junction exists";

// True only when a link really stands there afterwards.
inline bool MakeFileSymbolicLink(const std::wstring& link, const std::wstring& target) {
  constexpr DWORD kAllowUnprivileged = 0x2;
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), kAllowUnprivileged)) {
    CreateSymbolicLinkW(link.c_str(), target.c_str(), 0);
  }
  const DWORD attributes = GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A junction at `link` (made as an empty directory) to the directory `target`
// (a full DOS path).
inline bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  HANDLE dir = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (dir == INVALID_HANDLE_VALUE) {
    RemoveDirectoryW(link.c_str());
    return false;
  }
  const std::wstring substitute = L"\\??\\" + target;
  const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
  const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
  std::vector<unsigned char> buffer(8 + 8 + substituteBytes + 2 + printBytes + 2, 0);
  auto put16 = [&](size_t at, USHORT v) { memcpy(buffer.data() + at, &v, 2); };
  const ULONG tag = IO_REPARSE_TAG_MOUNT_POINT;
  memcpy(buffer.data(), &tag, 4);
  put16(4, static_cast<USHORT>(buffer.size() - 8));
  put16(8, 0);
  put16(10, substituteBytes);
  put16(12, static_cast<USHORT>(substituteBytes + 2));
  put16(14, printBytes);
  memcpy(buffer.data() + 16, substitute.data(), substituteBytes);
  memcpy(buffer.data() + 16 + substituteBytes + 2, target.data(), printBytes);
  DWORD returned = 0;
  constexpr DWORD kSetReparsePoint = 0x000900A4;
  const bool ok = DeviceIoControl(dir, kSetReparsePoint, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0,
                                  &returned, nullptr) != 0;
  CloseHandle(dir);
  if (!ok) RemoveDirectoryW(link.c_str());
  return ok;
}

// --- Handles ----------------------------------------------------------------

// The handles this process holds. ProcessHandleCount answers with the count
// on Windows; Wine answers 0 whatever the process holds, and then the
// system-wide handle table is counted for this process instead.
inline ULONG ProcessHandles() { return static_cast<ULONG>(::ryl::test::ProcessHandleCount()); }

// --- Extra volumes ----------------------------------------------------------

// The drives tests/fs_service/volumes.sh maps for the test run, read from the
// file named by RYL_FS_VOLUMES (a Unix path):
//   other=W:   a drive on a different Linux file system than C:
//   full=V:    a drive on a 1 MiB file system (empty when none could be made)
//   full_reason=...   why there is none
struct ExtraVolumes {
  bool configured = false;  // RYL_FS_VOLUMES was given
  std::wstring other;       // "W:" or empty
  std::wstring full;        // "V:" or empty
  std::string fullReason;
};

inline ExtraVolumes ReadExtraVolumes() {
  ExtraVolumes volumes;
  char unixPath[1024];
  const DWORD n = GetEnvironmentVariableA("RYL_FS_VOLUMES", unixPath, sizeof unixPath);
  if (n == 0 || n >= sizeof unixPath) return volumes;
  volumes.configured = true;
  std::wstring dosPath = L"Z:";
  for (DWORD i = 0; i < n; ++i) dosPath += unixPath[i] == '/' ? L'\\' : static_cast<wchar_t>(unixPath[i]);
  const std::string text = ReadBytes(dosPath);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "other") volumes.other.assign(value.begin(), value.end());
    if (key == "full") volumes.full.assign(value.begin(), value.end());
    if (key == "full_reason") volumes.fullReason = value;
  }
  return volumes;
}

// --- The service ------------------------------------------------------------

// The DLL loaded and initialised, the file-system service delivered, and a
// scratch directory on C: ready.
class FsServiceTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(dir_.ready());
  }

  std::wstring Path(const std::wstring& name) const { return dir_ / name; }

  ResultCode Copy(const std::wstring& source, const std::wstring& target, bool failIfExists,
                  bool copySecurity = false) {
    return fs_->CopyFileWithSecurity(source.c_str(), Len(source), target.c_str(), Len(target), failIfExists ? 1 : 0,
                                     copySecurity ? 1 : 0);
  }
  ResultCode Move(const std::wstring& source, const std::wstring& target, bool doNotReplace) {
    return fs_->MoveFile(source.c_str(), Len(source), target.c_str(), Len(target), doNotReplace ? 1 : 0);
  }
  ResultCode Delete(const std::wstring& path, uint32_t flags = 0) {
    return fs_->DeleteFile(path.c_str(), Len(path), flags);
  }

  ScratchDirectory dir_;
};

}  // namespace ryl::test
