// rylcli zip extract: every entry, or the named ones, into a directory. The
// archive is opened once; each file's data is written on a background thread
// while the library decodes the next piece.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>

#include "background_writer.h"
#include "directories.h"
#include "extract_report.h"
#include "file_host_stream.h"
#include "for_each_entry.h"
#include "module_session.h"
#include "opened_archive.h"
#include "pending_file.h"
#include "progress.h"
#include "safe_entry_name.h"
#include "utf8_text.h"
#include "win32_result.h"
#include "zip_subcommands.h"

namespace rylcli {

int ExtractArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  std::wstring base = options.directory;
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (!EnsureDirectories(base)) {
    std::fprintf(stderr, "rylcli: cannot create '%s'\n", Utf8(base).c_str());
    return 1;
  }
  Archive* archive = opened.archive();
  BackgroundWriter writer;
  if (!writer.started()) {
    std::fprintf(stderr, "rylcli: cannot start the writer thread\n");
    return 1;
  }
  ExtractReport report;
  int failures = 0;
  // Directories already known to exist: asking the file system again for
  // each entry costs, under Wine, as much as writing a small entry's data.
  std::unordered_set<std::wstring> knownDirectories;
  Progress progress(options.names.empty() ? archive->GetEntryCount()
                                          : static_cast<uint32_t>(options.names.size()));
  auto fail = [&](const std::string& text) {
    report.Line(true, text);
    ++failures;
  };
  auto extractOne = [&](ArchiveEntry* entry, const std::wstring& name) {
    const std::string shown = Utf8(name);
    if (!IsSafeEntryName(name.c_str(), static_cast<unsigned>(name.size()))) {
      fail("refused: " + shown + " (the name leaves the target directory)");
      return;
    }
    std::wstring target = base + L"\\" + name;
    for (wchar_t& c : target) {
      if (c == L'/') c = L'\\';
    }
    if (entry->IsDirectory()) {
      if (!EnsureDirectories(target.substr(0, target.size() - 1))) {
        fail("failed: " + shown + " (cannot create the directory)");
      } else {
        report.Line(false, "created: " + shown);
      }
      return;
    }
    const std::wstring parent = target.substr(0, target.rfind(L'\\'));
    if (knownDirectories.count(parent) == 0) {
      if (!EnsureDirectories(parent)) {
        fail("failed: " + shown + " (cannot create its directory)");
        return;
      }
      knownDirectories.insert(parent);
    }
    const ResultCode set = ApplyPassword(entry, options);
    if (RylFailed(set)) {
      fail("failed: " + shown + ": " + DescribeResult(set));
      return;
    }
    auto file = std::make_shared<PendingFile>();
    file->path = target;
    file->handle = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (file->handle == INVALID_HANDLE_VALUE) {
      fail("failed: " + shown + ": " + DescribeResult(FromWin32(GetLastError())));
      return;
    }
    FileHostStream stream(file, &writer, &progress);
    const ResultCode rc = entry->ExtractTo(&stream);
    stream.Finish(!RylFailed(rc));
    if (RylFailed(rc)) {
      fail("failed: " + shown + ": " + DescribeResult(rc));
    } else {
      report.File(std::move(file), shown);
    }
  };
  if (options.names.empty()) {
    ForEachEntry(archive, [&](ArchiveEntry* entry, const std::wstring& name) {
      extractOne(entry, name);
      progress.EntryDone();
    });
  } else {
    for (const std::wstring& wanted : options.names) {
      ArchiveEntry* entry = nullptr;
      const ResultCode found = archive->FindEntry(&entry, wanted.c_str(), static_cast<uint32_t>(wanted.size()));
      if (RylFailed(found)) {
        fail("not in the archive: " + Utf8(wanted));
      } else {
        // The stored name, not the one given: it decides the target path.
        RylStringView name = {nullptr, 0};
        entry->GetName(&name);
        extractOne(entry, WideText(name));
        entry->Release();
      }
      progress.EntryDone();
    }
  }
  writer.Drain();
  failures += report.PrintReady();
  progress.Finish();
  return failures == 0 ? 0 : 1;
}

}  // namespace rylcli
