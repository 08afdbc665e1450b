// What long work tells the user on stderr, never before a second has
// passed, so that a quick run stays silent and a slow one never looks hung:
// bytes and entries done, the rate and the time left. On a console one bar
// is redrawn in place; into a pipe or a file nothing is written unless -v
// asks for it, and then at most one line a second; -q silences it.
// The counts may come from several workers at once; only the thread that
// calls Tick or Finish prints.
#pragma once

#include <atomic>
#include <cstdint>

namespace rylcli {

class Progress {
 public:
  // total: the entries to do; totalBytes: what they declare (0: unknown).
  Progress(uint32_t total, uint64_t totalBytes);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void AddBytes(uint64_t count);
  void EntryDone();
  // For work whose progress only its end shows (one library call): the
  // report says what is being done and for how long, without done counts.
  void SetOpaque() { opaque_ = true; }
  // Reports when it is time to.
  void Tick();
  // Closes the report with the final figures, if a report was begun.
  void Finish();

 private:
  void Print(bool final);

  uint32_t total_;
  uint64_t totalBytes_;
  std::atomic<uint32_t> entries_{0};
  std::atomic<uint64_t> bytes_{0};
  uint64_t start_;
  uint64_t last_;
  bool reported_ = false;
  bool opaque_ = false;
  enum class Mode { kSilent, kBar, kLines } mode_;
};

}  // namespace rylcli
