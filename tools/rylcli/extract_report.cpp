#include "extract_report.h"

#include <cstdio>
#include <utility>

#include "cli_output.h"
#include "module_session.h"
#include "verbosity.h"
#include "win32_result.h"

namespace rylcli {

void ExtractReport::Line(bool error, std::string text) {
  lines_.push_back(Pending{nullptr, error, std::move(text), {}});
  PrintReady();
}

void ExtractReport::File(std::shared_ptr<PendingFile> file, std::string name) {
  lines_.push_back(Pending{std::move(file), false, {}, std::move(name)});
  PrintReady();
}

int ExtractReport::PrintReady() {
  while (!lines_.empty() && (lines_.front().file == nullptr || lines_.front().file->done)) {
    Pending& front = lines_.front();
    if (front.file == nullptr) {
      if (front.error) {
        Err("%s\n", front.text.c_str());
      } else if (!Quiet()) {
        Out("%s\n", front.text.c_str());
      }
    } else if (front.file->error != 0) {
      Err("failed: %s: %s\n", front.name.c_str(), DescribeResult(FromWin32(front.file->error)));
      ++failures_;
    } else if (!Quiet()) {
      Out("extracted: %s%s\n", front.name.c_str(),
                  front.file->replaces.empty() ? "" : " (replaced the existing file)");
    }
    lines_.pop_front();
  }
  return failures_;
}

}  // namespace rylcli
