#include "progress.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "cli_output.h"
#include "verbosity.h"

namespace rylcli {
namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kBarWidth = 24;

std::string Format(const char* format, double a, double b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

Progress::Progress(uint32_t total, uint64_t totalBytes)
    : total_(total), totalBytes_(totalBytes), start_(GetTickCount64()), last_(start_) {
  if (Quiet()) {
    mode_ = Mode::kSilent;
  } else if (StderrIsConsole()) {
    mode_ = Mode::kBar;
  } else {
    mode_ = Verbose() ? Mode::kLines : Mode::kSilent;
  }
}

void Progress::AddBytes(uint64_t count) { bytes_ += count; }

void Progress::EntryDone() { ++entries_; }

void Progress::Finish() {
  if (reported_) Print(true);
}

void Progress::Tick() {
  if (mode_ == Mode::kSilent) return;
  const uint64_t now = GetTickCount64();
  if (now - start_ < 1000) return;
  // A bar can move smoothly; lines into a log must not flood it.
  if (reported_ && now - last_ < (mode_ == Mode::kBar ? 250u : 1000u)) return;
  last_ = now;
  reported_ = true;
  Print(false);
}

void Progress::Print(bool final) {
  const double seconds = static_cast<double>(GetTickCount64() - start_) / 1000.0;
  const uint64_t bytes = bytes_;
  const uint32_t entries = entries_;
  const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
  std::string text;
  if (opaque_) {
    text = std::to_string(total_) + " entries" +
           (totalBytes_ != 0 ? Format(", %.1f MiB", static_cast<double>(totalBytes_) / kMiB) : std::string()) +
           Format(", %.0f s", seconds) + (final ? ", done" : ", working");
  } else {
    text = std::to_string(entries) + "/" + std::to_string(total_) + " entries, " +
           Format("%.1f", static_cast<double>(bytes) / kMiB) +
           (totalBytes_ != 0 ? Format("/%.1f", static_cast<double>(totalBytes_) / kMiB) : std::string()) +
           Format(" MiB, %.1f MiB/s, %.0f s", rate / kMiB, seconds);
    // Declared sizes can lie; the estimate is only shown while it means something.
    if (!final && rate > 0 && bytes < totalBytes_) {
      text += Format(", about %.0f s left", static_cast<double>(totalBytes_ - bytes) / rate);
    }
  }
  if (mode_ == Mode::kLines) {
    WriteErr("progress: " + text + "\n");
    return;
  }
  double fraction = 0;
  if (final) {
    fraction = 1;
  } else if (!opaque_ && totalBytes_ != 0) {
    fraction = static_cast<double>(bytes) / static_cast<double>(totalBytes_);
  } else if (!opaque_ && total_ != 0) {
    fraction = static_cast<double>(entries) / total_;
  }
  if (fraction > 1) fraction = 1;
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                    std::string(static_cast<size_t>(kBarWidth - filled), opaque_ && !final ? '?' : '.') + "] " +
                    (opaque_ ? std::string() : Format("%3.0f%% ", fraction * 100)) + text;
  // Pad over what a longer previous line left behind.
  if (bar.size() < 100) bar.append(100 - bar.size(), ' ');
  WriteErr(bar + (final ? "\n" : ""));
}

}  // namespace rylcli
