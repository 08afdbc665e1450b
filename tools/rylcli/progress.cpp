#include "progress.h"

#include <windows.h>

#include <cstdio>

namespace rylcli {

Progress::Progress(uint32_t total, uint64_t totalBytes)
    : total_(total), totalBytes_(totalBytes), start_(GetTickCount64()), last_(start_) {}

void Progress::AddBytes(uint64_t count) { bytes_ += count; }

void Progress::EntryDone() { ++entries_; }

void Progress::Finish() {
  if (reported_) Print();
}

void Progress::Tick() {
  const uint64_t now = GetTickCount64();
  if (now - last_ < 1000) return;
  last_ = now;
  reported_ = true;
  Print();
}

void Progress::Print() {
  const double seconds = static_cast<double>(GetTickCount64() - start_) / 1000.0;
  const uint64_t bytes = bytes_;
  const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
  constexpr double kMiB = 1024.0 * 1024.0;
  std::fprintf(stderr, "progress: %u/%u entries, %.1f", entries_.load(), total_, static_cast<double>(bytes) / kMiB);
  if (totalBytes_ != 0) std::fprintf(stderr, "/%.1f", static_cast<double>(totalBytes_) / kMiB);
  std::fprintf(stderr, " MiB, %.1f MiB/s, %.1f s", rate / kMiB, seconds);
  // Declared sizes can lie; the estimate is only shown while it means something.
  if (rate > 0 && bytes < totalBytes_) {
    std::fprintf(stderr, ", about %.0f s left", static_cast<double>(totalBytes_ - bytes) / rate);
  }
  std::fprintf(stderr, "\n");
}

}  // namespace rylcli
