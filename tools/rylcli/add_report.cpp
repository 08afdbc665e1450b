#include "add_report.h"

#include <cstdio>

#include "module_session.h"
#include "utf8_text.h"

namespace rylcli {

bool AddReport::Done(const SourceItem& item, ResultCode rc, const char* verb) {
  const std::string name = Utf8(item.name) + (item.directory ? "/" : "");
  if (RylFailed(rc)) {
    std::fprintf(stderr, "rylcli: cannot add %s (from '%s'): %s\n", name.c_str(), Utf8(item.path).c_str(),
                 DescribeResult(rc));
    return false;
  }
  if (announce_) std::printf("%s: %s\n", verb, name.c_str());
  progress_.AddBytes(item.size);
  progress_.EntryDone();
  progress_.Tick();
  return true;
}

bool AddReport::Failed(const char* what, ResultCode rc) {
  std::fprintf(stderr, "rylcli: %s: %s\n", what, DescribeResult(rc));
  return false;
}

}  // namespace rylcli
