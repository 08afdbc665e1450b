// rylcli hash: digests as sha256sum prints them, computed by the module
// (library_digest.cpp says how and why). The SHA route signs the whole
// file in one call, so the file is mapped rather than read: it must fit in
// the process's address space, which on a 32-bit process means files up to
// about a gigabyte.
#include "hash_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "library_digest.h"
#include "module_session.h"
#include "utf8_text.h"
#include "win32_result.h"

namespace rylcli {
namespace {

struct Algorithm {
  const wchar_t* name;
  bool crc;
  uint32_t selector;
};

const Algorithm kAlgorithms[] = {
    {L"sha1", false, RYL_DIGEST_SHA1},
    {L"sha256", false, RYL_DIGEST_SHA256},
    {L"sha512", false, RYL_DIGEST_SHA512},
    {L"crc32", true, 0},
};

// A read-only view of a whole file; empty files have no mapping.
class MappedFile {
 public:
  ~MappedFile() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  ResultCode Open(const std::wstring& path) {
    file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return FromWin32(GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_, &size)) return FromWin32(GetLastError());
    if (size.QuadPart > 0x7FFFFFFF) return RYL_E_VALUE_TOO_LARGE;
    length_ = static_cast<uint32_t>(size.QuadPart);
    if (length_ == 0) return RYL_OK;
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_ == nullptr) return FromWin32(GetLastError());
    view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    return view_ == nullptr ? FromWin32(GetLastError()) : RYL_OK;
  }
  const uint8_t* data() const { return static_cast<const uint8_t*>(view_); }
  uint32_t length() const { return length_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  uint32_t length_ = 0;
};

ResultCode Digest(RootFactory* root, const Algorithm& algorithm, const std::wstring& path, std::string* hex) {
  char text[16];
  if (algorithm.crc) {
    // The writer would take a directory for an empty entry.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromWin32(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FromWin32(ERROR_DIRECTORY);
    uint32_t crc = 0;
    const ResultCode rc = FileCrc32(root, path, &crc);
    if (RylFailed(rc)) return rc;
    std::snprintf(text, sizeof text, "%08x", crc);
    *hex = text;
    return RYL_OK;
  }
  MappedFile file;
  ResultCode rc = file.Open(path);
  if (RylFailed(rc)) return rc;
  std::vector<uint8_t> digest;
  rc = ShaDigest(root, algorithm.selector, file.data(), file.length(), &digest);
  if (RylFailed(rc)) return rc;
  hex->clear();
  for (uint8_t byte : digest) {
    std::snprintf(text, sizeof text, "%02x", byte);
    *hex += text;
  }
  return RYL_OK;
}

}  // namespace

int RunHash(int argc, wchar_t** argv) {
  if (argc < 1) return ReportUsage("missing ALGORITHM and FILE", "hash");
  const Algorithm* algorithm = nullptr;
  for (const Algorithm& a : kAlgorithms) {
    if (std::wcscmp(argv[0], a.name) == 0) algorithm = &a;
  }
  if (algorithm == nullptr) return ReportUsage("unknown algorithm '" + Utf8(argv[0]) + "'", "hash");
  int at = 1;
  if (at < argc && std::wcscmp(argv[at], L"--") == 0) ++at;
  if (at >= argc) return ReportUsage("missing FILE", "hash");
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return ReportFailure("cannot start the module", started);
  int failures = 0;
  for (; at < argc; ++at) {
    const std::wstring path = argv[at];
    std::string hex;
    const ResultCode rc = Digest(session.root(), *algorithm, path, &hex);
    if (RylFailed(rc)) {
      failures += ReportFailure("cannot hash " + Utf8(path), rc);
      continue;
    }
    Out("%s  %s\n", hex.c_str(), Utf8(path).c_str());
  }
  return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace rylcli
