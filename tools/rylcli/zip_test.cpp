// rylcli zip test: every file entry read to its end into a discarding
// stream, which makes the library check each entry's CRC-32.
#include <cstdio>
#include <string>

#include "for_each_entry.h"
#include "hoststreams/discard_host_stream.h"
#include "module_session.h"
#include "opened_archive.h"
#include "utf8_text.h"
#include "zip_subcommands.h"

namespace rylcli {

int TestArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  int failures = 0;
  uint32_t tested = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    if (entry->IsDirectory()) return;
    const ResultCode set = ApplyPassword(entry, options);
    if (RylFailed(set)) {
      std::fprintf(stderr, "FAILED %s: %s\n", Utf8(name).c_str(), DescribeResult(set));
      ++failures;
      return;
    }
    ryl::host::DiscardHostStream sink;
    const ResultCode rc = entry->ExtractTo(&sink);
    ++tested;
    if (RylFailed(rc)) {
      std::printf("FAILED %s: %s\n", Utf8(name).c_str(), DescribeResult(rc));
      ++failures;
    } else {
      std::printf("OK     %s\n", Utf8(name).c_str());
    }
  });
  std::printf("%u entries tested, %d failed\n", tested, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace rylcli
