// What a long extraction tells the user on stderr: at most one line a
// second, so that a quick run stays silent and a slow one never looks hung.
#pragma once

#include <cstdint>

namespace rylcli {

class Progress {
 public:
  explicit Progress(uint32_t total);

  void AddBytes(uint64_t count);
  void EntryDone();
  // Closes the report with the final figures, if a report was begun.
  void Finish();

 private:
  void Tick();
  void Print();

  uint32_t total_;
  uint32_t entries_ = 0;
  uint64_t bytes_ = 0;
  uint64_t start_;
  uint64_t last_;
  bool reported_ = false;
};

}  // namespace rylcli
