// What the user is told about each entry, in directory order: a file's line
// waits until the writer has closed it, since only then is it known whether
// it came out whole.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "pending_file.h"

namespace rylcli {

class ExtractReport {
 public:
  // A line that is final already: on stderr when error is set, else stdout.
  void Line(bool error, std::string text);
  // The line for a file the writer has yet to close.
  void File(std::shared_ptr<PendingFile> file, std::string name);
  // Prints every line that is final, in order; returns the failures seen.
  int PrintReady();

 private:
  struct Pending {
    std::shared_ptr<PendingFile> file;
    bool error;
    std::string text;
    std::string name;
  };
  std::deque<Pending> lines_;
  int failures_ = 0;
};

}  // namespace rylcli
