#include "archive_audit.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "cli_output.h"
#include "for_each_entry.h"
#include "terminal_text.h"

namespace rylcli {
namespace {

// A stored name decoded as the library decodes it: UTF-8 under bit 11 (and
// invalid UTF-8 not at all), the OEM code page otherwise; then separators
// made "/" and runs of them made one.
bool DecodeLikeTheLibrary(const CentralRecord& record, std::wstring* out) {
  out->clear();
  if (record.name.empty()) return true;
  const bool utf8 = (record.flags & 0x0800) != 0;
  const UINT codePage = utf8 ? CP_UTF8 : CP_OEMCP;
  const DWORD flags = utf8 ? MB_ERR_INVALID_CHARS : 0;
  const int length = static_cast<int>(record.name.size());
  const int n = MultiByteToWideChar(codePage, flags, record.name.data(), length, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, record.name.data(), length, wide.data(), n);
  for (wchar_t c : wide) {
    const bool separator = c == L'/' || c == L'\\';
    if (separator && !out->empty() && out->back() == L'/') continue;
    out->push_back(separator ? L'/' : c);
  }
  return true;
}

// The raw name for a report: UTF-8 or OEM as far as it decodes, else the
// bytes one by one.
std::wstring Shown(const CentralRecord& record) {
  std::wstring decoded;
  if (DecodeLikeTheLibrary(record, &decoded)) return decoded;
  std::wstring bytes;
  for (char c : record.name) bytes.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return bytes;
}

}  // namespace

bool ArchiveAudit::Take(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return false;
  }
  const auto fileSize = static_cast<uint64_t>(size.QuadPart);
  const ReadAt direct = [file](uint64_t offset, void* buffer, uint32_t count) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    return ReadFile(file, buffer, count, &done, &at) && done == count;
  };
  census_ = TakeCensus(fileSize, BlockCachedReadAt(direct, fileSize, 1u << 20));
  CloseHandle(file);
  overlapping_ = OverlappingRecords(census_);
  listed_.assign(census_.records.size(), false);
  return true;
}

void ArchiveAudit::Match(Archive* archive) {
  recordOfEntry_.clear();
  size_t next = 0;
  ForEachEntry(archive, [&](ArchiveEntry*, const std::wstring& name) {
    std::wstring decoded;
    for (size_t r = next; r < census_.records.size(); ++r) {
      if (DecodeLikeTheLibrary(census_.records[r], &decoded) && decoded == name) {
        listed_[r] = true;
        recordOfEntry_.push_back(r);
        next = r + 1;
        return;
      }
    }
    // Not found where the census says (a census that stopped earlier than
    // the library): nothing is known of this entry's data.
    recordOfEntry_.push_back(census_.records.size());
  });
}

int ArchiveAudit::ReportProblems() const {
  int count = 0;
  for (const std::string& problem : DirectoryProblems(census_)) {
    Err("damaged: %s\n", problem.c_str());
    ++count;
  }
  for (size_t r = 0; r < census_.records.size(); ++r) {
    if (listed_[r]) continue;
    Err("refused: %s (the library cannot read this entry's header or name)\n",
                 Printable(Shown(census_.records[r])).c_str());
    ++count;
  }
  return count;
}

bool ArchiveAudit::Overlaps(size_t entryIndex) const {
  if (entryIndex >= recordOfEntry_.size()) return false;
  const size_t record = recordOfEntry_[entryIndex];
  return record < overlapping_.size() && overlapping_[record];
}

int ArchiveAudit::StoredMethod(size_t entryIndex) const {
  if (entryIndex >= recordOfEntry_.size() || recordOfEntry_[entryIndex] >= census_.records.size()) return -1;
  return census_.records[recordOfEntry_[entryIndex]].method;
}

std::string ArchiveAudit::DescribeMethod(size_t entryIndex) const {
  const int method = StoredMethod(entryIndex);
  return method < 0 ? std::string("an unknown method") : "method " + std::to_string(method);
}

}  // namespace rylcli
