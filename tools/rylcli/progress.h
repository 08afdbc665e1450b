// What a long extraction tells the user on stderr: at most one line a
// second, so that a quick run stays silent and a slow one never looks hung.
// The counts may come from several workers at once; only the thread that
// calls Tick or Finish prints.
#pragma once

#include <atomic>
#include <cstdint>

namespace rylcli {

class Progress {
 public:
  // total: the entries to do; totalBytes: what they declare.
  Progress(uint32_t total, uint64_t totalBytes);

  void AddBytes(uint64_t count);
  void EntryDone();
  // Prints a line when a second has passed since the last.
  void Tick();
  // Closes the report with the final figures, if a report was begun.
  void Finish();

 private:
  void Print();

  uint32_t total_;
  uint64_t totalBytes_;
  std::atomic<uint32_t> entries_{0};
  std::atomic<uint64_t> bytes_{0};
  uint64_t start_;
  uint64_t last_;
  bool reported_ = false;
};

}  // namespace rylcli
