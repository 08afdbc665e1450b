// rylcli zip test: every file entry read to its end into a discarding
// stream, which makes the library check each entry's CRC-32. Entries of a
// method the library does not decode, entries whose data overlaps another's,
// headers the library left out and faults of the directory all fail the test.
#include <cstdio>
#include <string>

#include "for_each_entry.h"
#include "hoststreams/discard_host_stream.h"
#include "module_session.h"
#include "opened_archive.h"
#include "terminal_text.h"
#include "zip_subcommands.h"

namespace rylcli {

int TestArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  int failures = 0;
  uint32_t tested = 0;
  size_t index = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    const size_t at = index++;
    if (entry->IsDirectory()) return;
    const std::string shown = Printable(name);
    ++tested;
    auto fail = [&](const std::string& why) {
      std::printf("FAILED %s: %s\n", shown.c_str(), why.c_str());
      ++failures;
    };
    if (!IsReadableMethod(entry->GetMethod())) {
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
    ryl::host::DiscardHostStream sink;
    const ResultCode rc = entry->ExtractTo(&sink);
    if (RylFailed(rc)) {
      fail(DescribeResult(rc));
    } else {
      std::printf("OK     %s\n", shown.c_str());
    }
  });
  failures += opened.audit().ReportProblems();
  std::printf("%u entries tested, %d failed\n", tested, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace rylcli
