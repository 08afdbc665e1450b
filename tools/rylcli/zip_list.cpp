// rylcli zip list: the archive comment, then size, compressed size, method,
// time, name and comment of each entry, and a total. Headers the library
// left out and faults of the directory follow on stderr, and make the exit
// code 1.
#include <windows.h>

#include <cstdio>
#include <string>

#include "cli_output.h"
#include "for_each_entry.h"
#include "opened_archive.h"
#include "terminal_text.h"
#include "utf8_text.h"
#include "zip_subcommands.h"

namespace rylcli {
namespace {

// How the entry is encrypted, as the list shows it after the name.
const char* EncryptionNote(ArchiveEntry* entry) {
  switch (entry->GetEncryption()) {
    case RYL_ZIP_ENCRYPTION_NONE: return "";
    case RYL_ZIP_ENCRYPTION_AES128: return " (encrypted, AES-128)";
    case RYL_ZIP_ENCRYPTION_AES192: return " (encrypted, AES-192)";
    case RYL_ZIP_ENCRYPTION_AES256: return " (encrypted, AES-256)";
    default: return " (encrypted)";
  }
}

void PrintTime(uint64_t time) {
  FILETIME fileTime;
  fileTime.dwLowDateTime = static_cast<DWORD>(time);
  fileTime.dwHighDateTime = static_cast<DWORD>(time >> 32);
  SYSTEMTIME system;
  if (time == 0 || !FileTimeToSystemTime(&fileTime, &system)) {
    Out("%-19s", "-");
    return;
  }
  Out("%04u-%02u-%02u %02u:%02u:%02u", system.wYear, system.wMonth, system.wDay, system.wHour,
              system.wMinute, system.wSecond);
}

}  // namespace

int ListArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  Archive* archive = opened.archive();
  RylStringView comment = {nullptr, 0};
  archive->GetComment(&comment);
  if (comment.length != 0) Out("comment: %s\n", Printable(WideText(comment)).c_str());
  if (opened.audit().prefix_length() != 0) {
    Out("data in front of the archive: %llu bytes (a self-extractor or a stub)\n",
                static_cast<unsigned long long>(opened.audit().prefix_length()));
  }
  Out("%12s %12s %-8s %-19s %s\n", "size", "compressed", "method", "modified", "name");
  uint64_t total = 0;
  uint32_t count = 0;
  uint32_t unsupported = 0;
  ForEachEntry(archive, [&](ArchiveEntry* entry, const std::wstring& name) {
    const uint64_t size = entry->GetUncompressedSize();
    total += size;
    ++count;
    Out("%12llu %12llu %-8s ", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(entry->GetCompressedSize()), MethodName(entry).c_str());
    PrintTime(entry->GetTime());
    Out(" %s%s", Printable(name).c_str(), EncryptionNote(entry));
    if (!IsReadableMethod(entry)) {
      Out(" (unsupported method)");
      ++unsupported;
    }
    RylStringView entryComment = {nullptr, 0};
    entry->GetComment(&entryComment);
    if (entryComment.length != 0) Out("  [%s]", Printable(WideText(entryComment)).c_str());
    Out("\n");
  });
  Out("%12llu %u entries\n", static_cast<unsigned long long>(total), count);
  if (unsupported != 0) Out("%u entries use a method rylcli cannot decode\n", unsupported);
  return opened.audit().ReportProblems() == 0 ? 0 : 1;
}

}  // namespace rylcli
