// rylcli zip extract: every entry, or the named ones, into a directory, by
// one worker or by --threads N. Each worker opens the archive for itself
// and writes each file's data on a background thread while the library
// decodes the next piece.
//
// Before anything is written, a plan decides each entry's fate, so that the
// result does not depend on the order of work: names that are unsafe on
// Windows, methods the library does not decode and entries whose data
// overlaps another's are refused; of several entries that land on one file
// (by case, or by separators) one is chosen, the later unless -n is given;
// and the total the chosen entries declare is held against --max-total.
// Every decision is reported.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "background_writer.h"
#include "cli_output.h"
#include "directories.h"
#include "entry_path_rules.h"
#include "extract_report.h"
#include "failure.h"
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
    } else if (!entry->IsDirectory() && !IsReadableMethod(entry)) {
      refuse(name, "unsupported " + opened.audit().DescribeMethod(at));
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
  // Saturating: declared ZIP64 sizes could otherwise wrap the sum past the cap.
  uint64_t total = 0;
  for (PlannedEntry& e : entries) {
    if (e.chosen && !e.directory) total = e.size > UINT64_MAX - total ? UINT64_MAX : total + e.size;
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

// What became of one entry, kept until the end so that the report comes
// out in directory order whichever worker did the entry.
struct EntryOutcome {
  bool error = false;
  std::string line;                   // final already, when there is no file
  std::shared_ptr<PendingFile> file;  // its line waits for the writer
  std::string shown;
};

// The work the workers share: which entries to do, where, and the outcomes.
struct ExtractJob {
  RootFactory* root;
  const ZipOptions* options;
  std::wstring base;
  std::vector<char> chosen;  // by entry index
  std::vector<EntryOutcome> outcomes;
  std::atomic<size_t> next{0};
  Progress* progress;
};

// One worker: an archive of its own, a writer thread of its own, and the
// next chosen entry claimed each time, so that large and small entries
// spread over the workers. Directories are made relative to their parents'
// handles; two workers making the same one both succeed.
class ExtractWorker {
 public:
  explicit ExtractWorker(ExtractJob* job) : job_(job) {}

  bool Prepare() { return opened_.OpenAgain(job_->root, job_->options->archive) && writer_.started(); }

  // prints: this worker runs on the thread that reports progress.
  void Run(bool prints) {
    EntryEnumerator* enumerator = nullptr;
    if (RylFailed(opened_.archive()->CreateEnumerator(&enumerator))) return;
    size_t position = 0;
    bool valid = true;
    for (;;) {
      size_t index = job_->next++;
      while (index < job_->chosen.size() && !job_->chosen[index]) index = job_->next++;
      if (index >= job_->chosen.size()) break;
      // Claimed indices only grow, so the enumerator only moves forward.
      while (valid && position < index) {
        valid = enumerator->MoveNext() == RYL_OK;
        ++position;
      }
      ArchiveEntry* entry = nullptr;
      if (!valid || RylFailed(enumerator->Current(&entry))) {
        job_->outcomes[index] = {true, "failed: entry " + std::to_string(index) + " (not found again)", nullptr, {}};
        continue;
      }
      RylStringView name = {nullptr, 0};
      entry->GetName(&name);
      job_->outcomes[index] = ExtractOne(entry, WideText(name));
      job_->progress->EntryDone();
      if (prints) job_->progress->Tick();
    }
    enumerator->Release();
    writer_.Drain();
  }

 private:
  EntryOutcome ExtractOne(ArchiveEntry* entry, const std::wstring& name) {
    const ZipOptions& options = *job_->options;
    const std::string shown = Printable(name);
    auto failed = [&](const std::string& text) { return EntryOutcome{true, text, nullptr, {}}; };
    const std::wstring& base = job_->base;
    std::wstring target = base + L"\\" + name;
    for (wchar_t& c : target) {
      if (c == L'/') c = L'\\';
    }
    // The name below base, with "\" separators; checked safe by the plan.
    const std::wstring relative = target.substr(base.size() + 1);
    if (entry->IsDirectory()) {
      if (!EnsureDirectoriesBelow(base, relative.substr(0, relative.size() - 1))) {
        return failed("failed: " + shown + " (cannot create the directory)");
      }
      return {false, "created: " + shown, nullptr, {}};
    }
    const size_t slash = relative.rfind(L'\\');
    const std::wstring parent = slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
    if (knownDirectories_.count(parent) == 0) {
      if (!EnsureDirectoriesBelow(base, parent)) return failed("failed: " + shown + " (cannot create its directory)");
      knownDirectories_.insert(parent);
    }
    const ResultCode set = ApplyPassword(entry, options);
    if (RylFailed(set)) return failed("failed: " + shown + ": " + DescribeResult(set));
    auto file = std::make_shared<PendingFile>();
    const Opened opening = OpenTarget(target, options.neverOverwrite, file.get());
    if (opening == Opened::kKept) return {false, "kept: " + shown + " (a file of that name exists; -n keeps it)", nullptr, {}};
    if (opening == Opened::kFailed) return failed("failed: " + shown + ": " + DescribeResult(FromWin32(GetLastError())));
    // The checks on the name cannot know every device the system maps; the
    // handle can. Nothing is deleted: what was opened is not ours.
    if (GetFileType(file->handle) != FILE_TYPE_DISK) {
      CloseHandle(file->handle);
      file->handle = INVALID_HANDLE_VALUE;
      return failed("refused: " + shown + " (the name opens a device, not a file)");
    }
    FileHostStream stream(file, &writer_, job_->progress);
    const ResultCode rc = entry->ExtractTo(&stream);
    stream.Finish(!RylFailed(rc));
    if (RylFailed(rc)) return failed("failed: " + shown + ": " + DescribeResult(rc));
    return {false, {}, std::move(file), shown};
  }

  ExtractJob* job_;
  OpenedArchive opened_;
  BackgroundWriter writer_;
  // Directories this worker knows to exist: asking the file system again
  // for each entry costs, under Wine, as much as writing a small entry.
  std::unordered_set<std::wstring> knownDirectories_;
};

DWORD WINAPI WorkerMain(void* worker) {
  static_cast<ExtractWorker*>(worker)->Run(false);
  return 0;
}

// The workers asked for, never more than entries. One by default: the
// parallel path has yet to run on a machine where its results can be
// compared with the one-worker path (tests/zip/hardening_interop.py does).
unsigned WorkerCount(const ZipOptions& options, uint32_t entries) {
  unsigned count = options.threads == 0 ? 1 : options.threads;
  if (count > entries) count = entries;
  return count == 0 ? 1 : count;
}

}  // namespace

int ExtractArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  std::wstring base = options.directory;
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (!EnsureDirectories(base)) {
    return ReportFailure("cannot create '" + Printable(base) + "'", FromWin32(GetLastError()));
  }
  ExtractReport report;
  int failures = opened.audit().ReportProblems();
  std::vector<PlannedEntry> plan;
  failures += Plan(opened, options, report, &plan);
  failures += report.PrintReady();

  ExtractJob job;
  job.root = root;
  job.options = &options;
  job.base = base;
  job.chosen.assign(opened.archive()->GetEntryCount(), 0);
  job.outcomes.resize(job.chosen.size());
  uint32_t chosen = 0;
  uint64_t declared = 0;
  for (const PlannedEntry& e : plan) {
    if (e.chosen && e.index < job.chosen.size()) {
      job.chosen[e.index] = 1;
      ++chosen;
      declared += e.size;
    }
  }
  Progress progress(chosen, declared);
  job.progress = &progress;

  const unsigned count = WorkerCount(options, chosen);
  std::vector<std::unique_ptr<ExtractWorker>> workers;
  std::vector<HANDLE> threads;
  for (unsigned i = 0; i < count; ++i) {
    auto worker = std::make_unique<ExtractWorker>(&job);
    if (!worker->Prepare()) {
      ReportFailure("cannot start worker " + std::to_string(i + 1), FromWin32(GetLastError()));
      ++failures;
      break;
    }
    workers.push_back(std::move(worker));
  }
  // The first worker runs here when it is the only one.
  if (workers.size() > 1) {
    for (auto& worker : workers) {
      HANDLE thread = CreateThread(nullptr, 0, WorkerMain, worker.get(), 0, nullptr);
      if (thread != nullptr) threads.push_back(thread);
    }
    // A worker that could not start leaves its share to the others.
    if (threads.empty()) workers.front()->Run(true);
    for (size_t done = 0; done < threads.size();) {
      const DWORD waited = WaitForSingleObject(threads[done], 1000);
      if (waited == WAIT_OBJECT_0) ++done;
      progress.Tick();
    }
    for (HANDLE thread : threads) CloseHandle(thread);
  } else if (!workers.empty()) {
    workers.front()->Run(true);
  }
  workers.clear();  // every writer drained and stopped

  for (EntryOutcome& outcome : job.outcomes) {
    if (outcome.file != nullptr) {
      report.File(std::move(outcome.file), outcome.shown);
    } else if (!outcome.line.empty()) {
      report.Line(outcome.error, outcome.line);
      if (outcome.error) ++failures;
    }
  }
  failures += report.PrintReady();
  progress.Finish();
  return failures == 0 ? 0 : 1;
}

}  // namespace rylcli
