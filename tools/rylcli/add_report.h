// What create and add tell the user: a line per entry on stdout (unless
// stdout carries the archive itself), progress on stderr when the work is
// long, and which entry failed and why.
#pragma once

#include <ryl/ryl.h>

#include <cstdint>
#include <vector>

#include "progress.h"
#include "source_tree.h"

namespace rylcli {

class AddReport {
 public:
  // announce: a line per entry on stdout (not with -q, nor when stdout
  // carries the archive).
  AddReport(const std::vector<SourceItem>& items, bool announce);

  // Records item's outcome: false, having said why on stderr, when rc is a
  // failure. verb says what was done ("added", "replaced").
  bool Done(const SourceItem& item, ResultCode rc, const char* verb);
  // A failure of the archive as a whole (opening, closing, saving).
  static bool Failed(const char* what, ResultCode rc);
  void Finish() { progress_.Finish(); }

 private:
  Progress progress_;
  bool announce_;
};

}  // namespace rylcli
