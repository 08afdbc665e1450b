// rylcli zip test: every file entry read to its end into a discarding
// stream, which makes the library check each entry's CRC-32. Entries of a
// method the library does not decode, entries whose data overlaps another's,
// headers the library left out and faults of the directory all fail the test.
#include <cstdio>
#include <string>

#include "cli_output.h"
#include "for_each_entry.h"
#include "hoststreams/appending_host_stream.h"
#include "module_session.h"
#include "opened_archive.h"
#include "progress.h"
#include "terminal_text.h"
#include "verbosity.h"
#include "zip_subcommands.h"

namespace rylcli {
namespace {

// Swallows an entry's data, counting it into the progress report as the
// library decodes it, so that one large entry still shows movement.
class CountingSink final : public ryl::host::AppendingHostStream {
 public:
  explicit CountingSink(Progress* progress) : progress_(progress) {}
  ResultCode RYL_THISCALL Write(const void*, uint32_t count, uint32_t* outDone) override {
    set_end(end() + count);
    progress_->AddBytes(count);
    progress_->Tick();
    return Took(count, outDone);
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    if (size > end()) return RYL_E_INVALID_ARG;
    set_end(size);
    return RYL_OK;
  }

 private:
  Progress* progress_;
};

}  // namespace

int TestArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  int failures = 0;
  uint32_t tested = 0;
  size_t index = 0;
  uint32_t files = 0;
  uint64_t declared = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring&) {
    if (entry->IsDirectory()) return;
    ++files;
    declared += entry->GetUncompressedSize();
  });
  Progress progress(files, declared);
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    const size_t at = index++;
    if (entry->IsDirectory()) return;
    const std::string shown = Printable(name);
    ++tested;
    auto fail = [&](const std::string& why) {
      Out("FAILED %s: %s\n", shown.c_str(), why.c_str());
      ++failures;
    };
    if (!IsReadableMethod(entry)) {
      fail("unsupported " + opened.audit().DescribeMethod(at));
      return;
    }
    if (opened.audit().Overlaps(at)) {
      fail("its data overlaps another entry's or the directory");
      return;
    }
    const ResultCode set = ApplyPassword(entry, options);
    if (RylFailed(set)) {
      fail(DescribeResult(set));
      return;
    }
    CountingSink sink(&progress);
    const ResultCode rc = entry->ExtractTo(&sink);
    progress.EntryDone();
    if (RylFailed(rc)) {
      fail(DescribeResult(rc));
    } else if (Verbose()) {
      Out("OK     %s (%llu bytes)\n", shown.c_str(), static_cast<unsigned long long>(entry->GetUncompressedSize()));
    } else if (!Quiet()) {
      Out("OK     %s\n", shown.c_str());
    }
  });
  progress.Finish();
  failures += opened.audit().ReportProblems();
  Out("%u entries tested, %d failed\n", tested, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace rylcli
