// Formatting throughput of the string service against the platform runtime's
// _snprintf and _snwprintf, in one process, on the same mix of 1,000,000
// calls: integers with widths and flags, strings, doubles, and a call with
// all three. Each call of the service appends to an OutputBuffer that is
// emptied first and already has room (as a host reusing one buffer does);
// each runtime call writes into a fixed array. The goal is a ratio
// (runtime time / service time) of at least 1.0 for each width.
//
// Run under Wine with a persistent server (`wineserver -p`), from the build
// directory: cmake/wine-run.sh bench/format_bench.exe
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_host.h"
#include "bench_timing.h"
#include "ryl/ryl.h"

namespace {

constexpr int kCalls = 1000000;
constexpr int kRuns = 7;

// A host's reusable buffer: storage that only grows.
struct ReusedBuffer {
  OutputBuffer record;
  std::vector<uint8_t> storage;
  uint32_t elementSize;

  explicit ReusedBuffer(uint32_t size) : elementSize(size) {
    storage.resize(4096 * size);
    record = {&kTable, this, {storage.data(), 0}};
  }
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<ReusedBuffer*>(context);
    if (size_t{length} * self->elementSize > self->storage.size()) {
      self->storage.resize(size_t{length} * self->elementSize * 2);
    }
    view->data = self->storage.data();
    view->length = length;
    return RYL_OK;
  }
  static constexpr RylOutputBufferCallbacks kTable = {1, Resize, nullptr, nullptr, nullptr};
};

StringService* g_strings = nullptr;

ResultCode Append(ReusedBuffer* out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  out->record.view.length = 0;
  const ResultCode rc = g_strings->FormatAppend(0, &out->record, format, arguments);
  va_end(arguments);
  return rc;
}

ResultCode AppendW(ReusedBuffer* out, const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  out->record.view.length = 0;
  const ResultCode rc = g_strings->FormatAppendW(0, &out->record, format, arguments);
  va_end(arguments);
  return rc;
}

// The mix, the same for both sides; i varies the values.
template <typename Call>
uint64_t RunMix(Call call) {
  uint64_t check = 0;
  const char* const names[] = {"alpha", "beta", "a somewhat longer string value", ""};
  for (int i = 0; i < kCalls; ++i) {
    switch (i & 3) {
      case 0: check += call(0, i, names[0], 0.0); break;
      case 1: check += call(1, i * 7919, names[i & 3], 0.0); break;
      case 2: check += call(2, i, names[0], i * 0.001); break;
      default: check += call(3, -i, names[(i >> 2) & 3], 1.0 / (i + 1)); break;
    }
  }
  return check;
}

}  // namespace

int main() {
  RootFactory* root = ryl::bench::StartRoot();
  if (root == nullptr) return 1;
  const ObjectReceiver receiver = ryl::bench::StoreInto(&g_strings);
  if (root->GetStringService(&receiver) < 0 || g_strings == nullptr) return 1;

  ReusedBuffer narrow(1);
  ReusedBuffer wide(2);
  char fixed[512];
  wchar_t fixedWide[512];

  auto serviceNarrow = [&](int kind, int n, const char* s, double d) -> uint64_t {
    switch (kind) {
      case 0: Append(&narrow, "%d", n); break;
      case 1: Append(&narrow, "[%-8x|%08u] %s", n, n, s); break;
      case 2: Append(&narrow, "%.3f", d); break;
      default: Append(&narrow, "%5d: %-12s %g", n, s, d); break;
    }
    return narrow.record.view.length;
  };
  auto runtimeNarrow = [&](int kind, int n, const char* s, double d) -> uint64_t {
    int written = 0;
    switch (kind) {
      case 0: written = _snprintf(fixed, sizeof fixed, "%d", n); break;
      case 1: written = _snprintf(fixed, sizeof fixed, "[%-8x|%08u] %s", n, n, s); break;
      case 2: written = _snprintf(fixed, sizeof fixed, "%.3f", d); break;
      default: written = _snprintf(fixed, sizeof fixed, "%5d: %-12s %g", n, s, d); break;
    }
    return static_cast<uint64_t>(written);
  };
  // The wide mix has the same shape; its strings are wide.
  const wchar_t* const wideNames[] = {L"alpha", L"beta", L"a somewhat longer string value", L""};
  auto serviceWide = [&](int kind, int n, const char* s, double d) -> uint64_t {
    const wchar_t* ws = wideNames[s[0] == 'a' ? (s[1] == 'l' ? 0 : 2) : (s[0] == 'b' ? 1 : 3)];
    switch (kind) {
      case 0: AppendW(&wide, L"%d", n); break;
      case 1: AppendW(&wide, L"[%-8x|%08u] %s", n, n, ws); break;
      case 2: AppendW(&wide, L"%.3f", d); break;
      default: AppendW(&wide, L"%5d: %-12s %g", n, ws, d); break;
    }
    return wide.record.view.length;
  };
  auto runtimeWide = [&](int kind, int n, const char* s, double d) -> uint64_t {
    const wchar_t* ws = wideNames[s[0] == 'a' ? (s[1] == 'l' ? 0 : 2) : (s[0] == 'b' ? 1 : 3)];
    int written = 0;
    switch (kind) {
      case 0: written = _snwprintf(fixedWide, 512, L"%d", n); break;
      case 1: written = _snwprintf(fixedWide, 512, L"[%-8x|%08u] %s", n, n, ws); break;
      case 2: written = _snwprintf(fixedWide, 512, L"%.3f", d); break;
      default: written = _snwprintf(fixedWide, 512, L"%5d: %-12s %g", n, ws, d); break;
    }
    return static_cast<uint64_t>(written);
  };

  int failures = 0;
  auto measure = [&](const char* name, auto& service, auto& runtime) {
    std::vector<double> serviceTimes;
    std::vector<double> runtimeTimes;
    uint64_t serviceCheck = 0;
    uint64_t runtimeCheck = 0;
    for (int run = 0; run < kRuns; ++run) {
      double start = ryl::bench::Now();
      serviceCheck = RunMix(service);
      serviceTimes.push_back(ryl::bench::Now() - start);
      start = ryl::bench::Now();
      runtimeCheck = RunMix(runtime);
      runtimeTimes.push_back(ryl::bench::Now() - start);
    }
    const double serviceMedian = ryl::bench::Median(serviceTimes);
    const double runtimeMedian = ryl::bench::Median(runtimeTimes);
    // The same total length shows both sides wrote the same text sizes.
    if (serviceCheck != runtimeCheck) {
      std::printf("%s: the texts differ in length (%llu against %llu characters)\n", name,
                  static_cast<unsigned long long>(serviceCheck), static_cast<unsigned long long>(runtimeCheck));
      ++failures;
    }
    const double ratio = runtimeMedian / serviceMedian;
    std::printf("%-6s service %.3f s  runtime %.3f s  ratio %.2f (goal >= 1.0)%s\n", name, serviceMedian,
                runtimeMedian, ratio, ratio >= 1.0 ? "" : "  BELOW GOAL");
    if (ratio < 1.0) ++failures;
  };
  std::printf("%d formatting calls a run, median of %d runs\n", kCalls, kRuns);
  measure("narrow", serviceNarrow, runtimeNarrow);
  measure("wide", serviceWide, runtimeWide);

  root->Release();
  RylModuleFinish();
  return failures == 0 ? 0 : 2;
}
