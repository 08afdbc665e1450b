#include "progress.h"

#include <windows.h>

#include <cstdio>

namespace rylcli {

Progress::Progress(uint32_t total) : total_(total), start_(GetTickCount64()), last_(start_) {}

void Progress::AddBytes(uint64_t count) {
  bytes_ += count;
  Tick();
}

void Progress::EntryDone() {
  ++entries_;
  Tick();
}

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
  std::fprintf(stderr, "progress: %u/%u entries, %.1f MiB, %.1f s\n", entries_, total_,
               static_cast<double>(bytes_) / (1024.0 * 1024.0),
               static_cast<double>(GetTickCount64() - start_) / 1000.0);
}

}  // namespace rylcli
