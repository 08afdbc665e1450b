#include "async/monotonic_clock.h"

#include <atomic>

#include "sys/system_time.h"

namespace ryl::async {
namespace {
std::atomic<SystemTimeSource> g_source{nullptr};
}  // namespace

void MonotonicClock::SetSourceForTesting(SystemTimeSource source) noexcept { g_source.store(source); }

ResultCode MonotonicClock::SystemTime(uint64_t* outTime) noexcept {
  const SystemTimeSource source = g_source.load();
  return source != nullptr ? source(outTime) : sys::RylGetSystemTime(outTime);
}

ResultCode MonotonicClock::Read(uint64_t* outNow) noexcept {
  uint64_t now = 0;
  const ResultCode read = SystemTime(&now);
  if (read < 0) return read;
  if (!seen_) {
    last_ = now;
    seen_ = true;
  }
  if (now < last_) offset_ += last_ - now;
  last_ = now;
  now_ = now + offset_;
  *outNow = now_;
  return RYL_OK;
}

}  // namespace ryl::async
