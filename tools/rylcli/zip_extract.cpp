// rylcli zip extract: every entry, or the named ones, into a directory. The
// archive is opened once; each file's data is written on a background thread
// while the library decodes the next piece.
//
// Before anything is written, a plan decides each entry's fate, so that the
// result does not depend on the order of work: names that are unsafe on
// Windows, methods the library does not decode and entries whose data
// overlaps another's are refused; of several entries that land on one file
// (by case, or by separators) one is chosen, the later unless -n is given;
// and the total the chosen entries declare is held against --max-total.
// Every decision is reported.
#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "background_writer.h"
#include "directories.h"
#include "entry_path_rules.h"
#include "extract_report.h"
#include "file_host_stream.h"
#include "for_each_entry.h"
#include "module_session.h"
#include "opened_archive.h"
#include "pending_file.h"
#include "progress.h"
#include "replacement_file.h"
#include "terminal_text.h"
#include "win32_result.h"
#include "zip_subcommands.h"

namespace rylcli {
namespace {

struct PlannedEntry {
  size_t index = 0;  // in directory order
  std::wstring name;
  bool directory = false;
  uint64_t size = 0;
  bool chosen = false;
};

// The entries asked for, with every refusal and every duplicate decided.
// Returns the failures reported.
int Plan(OpenedArchive& opened, const ZipOptions& options, ExtractReport& report,
         std::vector<PlannedEntry>* out) {
  int failures = 0;
  auto refuse = [&](const std::wstring& name, const std::string& why) {
    report.Line(true, "refused: " + Printable(name) + " (" + why + ")");
    ++failures;
  };
  // Names asked for match with either separator, as the library's lookup does.
  auto slashed = [](std::wstring name) {
    for (wchar_t& c : name) {
      if (c == L'\\') c = L'/';
    }
    return name;
  };
  std::unordered_set<std::wstring> wanted;
  for (const std::wstring& name : options.names) wanted.insert(slashed(name));
  std::unordered_set<std::wstring> found;
  std::vector<PlannedEntry> entries;
  size_t index = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    const size_t at = index++;
    if (!wanted.empty()) {
      if (wanted.count(name) == 0) return;
      found.insert(name);
    }
    const NameProblem problem = CheckEntryName(name);
    if (problem != NameProblem::kNone) {
      refuse(name, ExplainNameProblem(problem));
    } else if (!entry->IsDirectory() && !IsReadableMethod(entry->GetMethod())) {
      refuse(name, "unsupported method " + std::to_string(entry->GetMethod()));
    } else if (opened.audit().Overlaps(at)) {
      refuse(name, "its data overlaps another entry's or the directory, as in a decompression bomb");
    } else {
      entries.push_back({at, name, entry->IsDirectory() != 0, entry->GetUncompressedSize(), true});
    }
  });
  for (const std::wstring& name : options.names) {
    if (found.count(slashed(name)) == 0) {
      report.Line(true, "not in the archive: " + Printable(name));
      ++failures;
    }
  }
  // One file per output path: the later entry wins, or with -n the first.
  std::map<std::wstring, size_t> owner;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].directory) continue;
    const auto [it, inserted] = owner.emplace(OutputKey(entries[i].name), i);
    if (inserted) continue;
    const size_t loser = options.neverOverwrite ? i : it->second;
    const size_t winner = options.neverOverwrite ? it->second : i;
    entries[loser].chosen = false;
    it->second = winner;
    report.Line(true, "skipped: " + Printable(entries[loser].name) + " (" + Printable(entries[winner].name) +
                          " writes the same file)");
  }
  uint64_t total = 0;
  for (PlannedEntry& e : entries) {
    if (e.chosen && !e.directory) total += e.size;
  }
  if (options.maxTotal != 0 && total > options.maxTotal) {
    report.Line(true, "refused: the entries declare " + std::to_string(total) + " bytes, more than --max-total " +
                          std::to_string(options.maxTotal));
    for (PlannedEntry& e : entries) e.chosen = false;
    ++failures;
  }
  *out = std::move(entries);
  return failures;
}

// Opens target for a new file. A file that exists already is kept with -n;
// otherwise the data goes to a new file beside it that replaces it only when
// complete, so a failed extraction leaves the old file as it was.
enum class Opened { kNew, kReplacing, kKept, kFailed };
Opened OpenTarget(const std::wstring& fullPath, bool neverOverwrite, PendingFile* file) {
  // Past MAX_PATH only the \\?\ form reaches the file; the path is full
  // and normalised already.
  const std::wstring target =
      fullPath.size() < MAX_PATH || fullPath.compare(0, 2, L"\\\\") == 0 ? fullPath : L"\\\\?\\" + fullPath;
  file->handle = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file->handle != INVALID_HANDLE_VALUE) {
    file->path = target;
    return Opened::kNew;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return Opened::kFailed;
  if (neverOverwrite) return Opened::kKept;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring temporary = TemporaryPathBeside(target) + std::to_wstring(attempt);
    file->handle =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->handle != INVALID_HANDLE_VALUE) {
      file->path = temporary;
      file->replaces = target;
      return Opened::kReplacing;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return Opened::kFailed;
}

}  // namespace

int ExtractArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  std::wstring base = options.directory;
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (!EnsureDirectories(base)) {
    std::fprintf(stderr, "rylcli: cannot create '%s'\n", Printable(base).c_str());
    return 1;
  }
  Archive* archive = opened.archive();
  BackgroundWriter writer;
  if (!writer.started()) {
    std::fprintf(stderr, "rylcli: cannot start the writer thread\n");
    return 1;
  }
  ExtractReport report;
  int failures = opened.audit().ReportProblems();
  std::vector<PlannedEntry> plan;
  failures += Plan(opened, options, report, &plan);
  std::vector<const PlannedEntry*> byIndex(archive->GetEntryCount(), nullptr);
  uint32_t chosen = 0;
  for (const PlannedEntry& e : plan) {
    if (e.chosen && e.index < byIndex.size()) {
      byIndex[e.index] = &e;
      ++chosen;
    }
  }
  // Directories already known to exist: asking the file system again for
  // each entry costs, under Wine, as much as writing a small entry's data.
  std::unordered_set<std::wstring> knownDirectories;
  Progress progress(chosen);
  auto fail = [&](const std::string& text) {
    report.Line(true, text);
    ++failures;
  };
  auto extractOne = [&](ArchiveEntry* entry, const std::wstring& name) {
    const std::string shown = Printable(name);
    std::wstring target = base + L"\\" + name;
    for (wchar_t& c : target) {
      if (c == L'/') c = L'\\';
    }
    // The name below base, with "\" separators; checked safe by the plan.
    const std::wstring relative = target.substr(base.size() + 1);
    if (entry->IsDirectory()) {
      if (!EnsureDirectoriesBelow(base, relative.substr(0, relative.size() - 1))) {
        fail("failed: " + shown + " (cannot create the directory)");
      } else {
        report.Line(false, "created: " + shown);
      }
      return;
    }
    const size_t slash = relative.rfind(L'\\');
    const std::wstring parent = slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
    if (knownDirectories.count(parent) == 0) {
      if (!EnsureDirectoriesBelow(base, parent)) {
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
    const Opened opening = OpenTarget(target, options.neverOverwrite, file.get());
    if (opening == Opened::kKept) {
      report.Line(false, "kept: " + shown + " (a file of that name exists; -n keeps it)");
      return;
    }
    if (opening == Opened::kFailed) {
      fail("failed: " + shown + ": " + DescribeResult(FromWin32(GetLastError())));
      return;
    }
    // The checks on the name cannot know every device the system maps; the
    // handle can. Nothing is deleted: what was opened is not ours.
    if (GetFileType(file->handle) != FILE_TYPE_DISK) {
      CloseHandle(file->handle);
      file->handle = INVALID_HANDLE_VALUE;
      fail("refused: " + shown + " (the name opens a device, not a file)");
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
  size_t index = 0;
  ForEachEntry(archive, [&](ArchiveEntry* entry, const std::wstring& name) {
    const size_t at = index++;
    if (at >= byIndex.size() || byIndex[at] == nullptr) return;
    extractOne(entry, name);
    progress.EntryDone();
  });
  writer.Drain();
  failures += report.PrintReady();
  progress.Finish();
  return failures == 0 ? 0 : 1;
}

}  // namespace rylcli
