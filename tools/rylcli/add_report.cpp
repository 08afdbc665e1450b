#include "add_report.h"

#include <cstdio>

#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "utf8_text.h"
#include "verbosity.h"

namespace rylcli {

namespace {

uint64_t TotalSize(const std::vector<SourceItem>& items) {
  uint64_t total = 0;
  for (const SourceItem& item : items) total += item.size;
  return total;
}

}  // namespace

AddReport::AddReport(const std::vector<SourceItem>& items, bool announce)
    : progress_(static_cast<uint32_t>(items.size()), TotalSize(items)), announce_(announce && !Quiet()) {}

bool AddReport::Done(const SourceItem& item, ResultCode rc, const char* verb) {
  const std::string name = Utf8(item.name) + (item.directory ? "/" : "");
  if (RylFailed(rc)) {
    return ReportFailure("cannot add " + name + " (from '" + Utf8(item.path) + "')", rc) == kExitOk;
  }
  if (announce_) {
    if (Verbose() && !item.directory) {
      Out("%s: %s (%llu bytes)\n", verb, name.c_str(), static_cast<unsigned long long>(item.size));
    } else {
      Out("%s: %s\n", verb, name.c_str());
    }
  }
  progress_.AddBytes(item.size);
  progress_.EntryDone();
  progress_.Tick();
  return true;
}

bool AddReport::Failed(const char* what, ResultCode rc) {
  ReportFailure(what, rc);
  return false;
}

}  // namespace rylcli
