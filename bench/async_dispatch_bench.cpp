// What handing small pieces of work to a private dispatcher costs a host,
// next to the Win32 thread pool doing the same work in the same process and
// the same run, so the machine's and Wine's speed cancel out of the ratio.
//
// round trip  Post one operation that bumps a counter and answers a value at
//             once, Wait for it, Destroy the task; N times in a row. The pool
//             side: TrySubmitThreadpoolCallback with a callback that bumps
//             the counter and sets an event, then WaitForSingleObject on it.
//             Reported as round trips per second.
// fan-out     Post M such tasks, then Wait for and Destroy every one. The
//             pool side: M callbacks, each with its own event from
//             CreateEvent (a task carries a completion event too), then wait
//             for every event and close it. Reported as total time.
//
// Each measurement runs REPETITIONS times, the two sides alternating which
// goes first; the table shows the median of each side and the ratio
// rylutil / pool as throughput (above 1.0 the library is the faster). The
// goal: a round trip at least 1.0x the thread pool. The exit code says only
// whether the benchmark ran, not whether the goal was met.
//
// Usage: async_dispatch_bench.exe [ROUND_TRIPS [REPETITIONS [FAN_OUT]]]
//        defaults 20000, 7, 10000
//
// Under Wine, keep one wineserver running for the whole session so Wine's
// start-up and the server's shutdown stay out of what is measured, and the
// runs see a warm server. cmake/wine-run.sh --setup makes the prefix and
// starts a persistent server (`wineserver -p`); from the repository root:
//
//   export RYL_WINEPREFIX=$PWD/build/wineprefix
//   cmake/wine-run.sh --setup
//   cmake/wine-run.sh build/bin/async_dispatch_bench.exe 20000 7
//   cmake/wine-run.sh --shutdown     # when done
//
// The benchmark loads rylutil.dll from beside the executable (build/bin).
// Configure with -DRYL_BUILD_BENCH=ON to build it.
#include <windows.h>

#include "bench_timing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ryl/ryl.h"

using ryl::bench::Median;
using ryl::bench::Now;

namespace {

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

const RylReceiverCallbacks kStore = {1, StoreObject};

// Both sides do exactly this much work per item. The pool runs callbacks on
// several threads at once, so the increment must be interlocked; the
// dispatcher's side pays the same price to keep the work identical.
volatile LONG g_counter = 0;

inline uint32_t OutcomeTag(uint32_t state, uint32_t level) {
  return state | ((level & 3u) << RYL_OUTCOME_LEVEL_SHIFT);
}

// Answers at once, so what is measured is the hand-over, not the work. One
// static instance serves every task: the library only releases it (once per
// task) and it owns nothing, so Release has nothing to free.
class CountingOperation final : public RylOperation {
 public:
  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL Release() override {}
  void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t level) override {
    InterlockedIncrement(&g_counter);
    out->tag = OutcomeTag(RYL_OUTCOME_VALUE, level);
    out->payload = 0;
  }
  // Reached only if a task is stopped before it ran; must be final at level 3.
  void RYL_THISCALL Raise(RylOutcome* out, uint32_t zero, uint32_t newLevel, uint32_t seenLevel) override {
    out->tag = OutcomeTag(RYL_OUTCOME_VALUE, newLevel);
    out->payload = 0;
  }
};

CountingOperation g_operation;

void CALLBACK CountAndSignal(PTP_CALLBACK_INSTANCE instance, PVOID context) {
  InterlockedIncrement(&g_counter);
  SetEvent(static_cast<HANDLE>(context));
}

bool Fail(const char* what, unsigned long code) {
  std::fprintf(stderr, "async_dispatch_bench: %s failed (0x%08lX)\n", what, code);
  return false;
}

// Posts the operation and gives back the task, or null having said why.
RylTask* PostOne(RylDispatcher* dispatcher) {
  RylOutcome outcome = {OutcomeTag(RYL_OUTCOME_PENDING, RYL_LEVEL_NORMAL),
                        reinterpret_cast<uintptr_t>(static_cast<RylOperation*>(&g_operation))};
  void* task = nullptr;
  const ObjectReceiver receiver = {&kStore, &task, RYL_VERSION_TASK, {nullptr, nullptr}};
  const ResultCode posted = dispatcher->Post(&outcome, &receiver);
  if (RylFailed(posted)) {
    Fail("RylDispatcher::Post", static_cast<unsigned long>(posted));
    return nullptr;
  }
  return static_cast<RylTask*>(task);
}

bool WaitAndDestroy(RylTask* task) {
  RylOutcome out = {0, 0};
  const ResultCode waited = task->Wait(&out);
  task->Destroy();
  if (RylFailed(waited)) return Fail("RylTask::Wait", static_cast<unsigned long>(waited));
  if ((out.tag & RYL_OUTCOME_STATE_MASK) != RYL_OUTCOME_VALUE) {
    return Fail("RylTask::Wait (outcome not a value)", out.tag);
  }
  return true;
}

// Each returns the elapsed seconds, or a negative number on failure.

double RylRoundTrips(RylDispatcher* dispatcher, uint32_t count) {
  const double start = Now();
  for (uint32_t i = 0; i < count; ++i) {
    RylTask* task = PostOne(dispatcher);
    if (task == nullptr || !WaitAndDestroy(task)) return -1.0;
  }
  return Now() - start;
}

double PoolRoundTrips(HANDLE done, uint32_t count) {
  const double start = Now();
  for (uint32_t i = 0; i < count; ++i) {
    if (!TrySubmitThreadpoolCallback(CountAndSignal, done, nullptr)) {
      Fail("TrySubmitThreadpoolCallback", GetLastError());
      return -1.0;
    }
    if (WaitForSingleObject(done, INFINITE) != WAIT_OBJECT_0) {
      Fail("WaitForSingleObject", GetLastError());
      return -1.0;
    }
  }
  return Now() - start;
}

double RylFanOut(RylDispatcher* dispatcher, std::vector<RylTask*>& tasks) {
  const double start = Now();
  size_t posted = 0;
  bool ok = true;
  for (; posted < tasks.size(); ++posted) {
    tasks[posted] = PostOne(dispatcher);
    if (tasks[posted] == nullptr) {
      ok = false;
      break;
    }
  }
  // Every task posted is waited for, even after a failure, so none is left
  // running when the dispatcher goes.
  for (size_t i = 0; i < posted; ++i) ok = WaitAndDestroy(tasks[i]) && ok;
  const double elapsed = Now() - start;
  return ok ? elapsed : -1.0;
}

double PoolFanOut(std::vector<HANDLE>& events) {
  const double start = Now();
  size_t submitted = 0;
  bool ok = true;
  for (; submitted < events.size(); ++submitted) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
      ok = Fail("CreateEventW", GetLastError());
      break;
    }
    if (!TrySubmitThreadpoolCallback(CountAndSignal, event, nullptr)) {
      ok = Fail("TrySubmitThreadpoolCallback", GetLastError());
      CloseHandle(event);
      break;
    }
    events[submitted] = event;
  }
  for (size_t i = 0; i < submitted; ++i) {
    if (WaitForSingleObject(events[i], INFINITE) != WAIT_OBJECT_0) ok = Fail("WaitForSingleObject", GetLastError());
    CloseHandle(events[i]);
  }
  const double elapsed = Now() - start;
  return ok ? elapsed : -1.0;
}

uint32_t ParseCount(const char* text, const char* name) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value == 0 || value > 100000000ul) {
    std::fprintf(stderr, "async_dispatch_bench: %s must be a whole number from 1 to 100000000\n", name);
    std::exit(2);
  }
  return static_cast<uint32_t>(value);
}

// The counter tells whether every item's work really ran on both sides.
bool CheckCount(LONG before, uint32_t expected, const char* side) {
  const LONG ran = g_counter - before;
  if (static_cast<uint32_t>(ran) == expected) return true;
  std::fprintf(stderr, "async_dispatch_bench: %s ran %ld items of %u\n", side, static_cast<long>(ran), expected);
  return false;
}

struct Samples {
  std::vector<double> ryl;
  std::vector<double> pool;
};

int Run(RylDispatcher* dispatcher, uint32_t roundTrips, uint32_t repetitions, uint32_t fanOut) {
  HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (done == nullptr) {
    Fail("CreateEventW", GetLastError());
    return 1;
  }
  std::vector<RylTask*> tasks(fanOut, nullptr);
  std::vector<HANDLE> events(fanOut, nullptr);

  // Starts the dispatcher's worker and the pool's threads, and faults in the
  // heap both sides use, before anything is timed.
  const uint32_t warmUp = std::min<uint32_t>(roundTrips, 1000);
  if (RylRoundTrips(dispatcher, warmUp) < 0 || PoolRoundTrips(done, warmUp) < 0 || RylFanOut(dispatcher, tasks) < 0 ||
      PoolFanOut(events) < 0) {
    CloseHandle(done);
    return 1;
  }

  Samples trips;
  Samples fans;
  bool ok = true;
  for (uint32_t rep = 0; rep < repetitions && ok; ++rep) {
    const bool rylFirst = rep % 2 == 0;
    for (int turn = 0; turn < 2 && ok; ++turn) {
      const LONG before = g_counter;
      if ((turn == 0) == rylFirst) {
        const double seconds = RylRoundTrips(dispatcher, roundTrips);
        ok = seconds > 0 && CheckCount(before, roundTrips, "the dispatcher (round trip)");
        trips.ryl.push_back(static_cast<double>(roundTrips) / seconds);
      } else {
        const double seconds = PoolRoundTrips(done, roundTrips);
        ok = seconds > 0 && CheckCount(before, roundTrips, "the pool (round trip)");
        trips.pool.push_back(static_cast<double>(roundTrips) / seconds);
      }
    }
    for (int turn = 0; turn < 2 && ok; ++turn) {
      const LONG before = g_counter;
      if ((turn == 0) == rylFirst) {
        const double seconds = RylFanOut(dispatcher, tasks);
        ok = seconds > 0 && CheckCount(before, fanOut, "the dispatcher (fan-out)");
        fans.ryl.push_back(seconds);
      } else {
        const double seconds = PoolFanOut(events);
        ok = seconds > 0 && CheckCount(before, fanOut, "the pool (fan-out)");
        fans.pool.push_back(seconds);
      }
    }
  }
  CloseHandle(done);
  if (!ok) return 1;

  const double rylTrips = Median(trips.ryl);
  const double poolTrips = Median(trips.pool);
  const double rylFan = Median(fans.ryl);
  const double poolFan = Median(fans.pool);
  const double tripRatio = rylTrips / poolTrips;
  const double fanRatio = poolFan / rylFan;  // as throughput: above 1.0 the library is faster

  std::printf("async_dispatch_bench: %u round trips, fan-out of %u tasks, median of %u runs\n", roundTrips, fanOut,
              repetitions);
  std::printf("%-22s %16s %16s %12s\n", "measurement", "rylutil", "thread pool", "ryl/pool");
  std::printf("%-22s %16.0f %16.0f %11.2fx\n", "round trips per s", rylTrips, poolTrips, tripRatio);
  std::printf("%-22s %16.2f %16.2f %11.2fx\n", "fan-out total ms", rylFan * 1000.0, poolFan * 1000.0, fanRatio);
  std::printf("goal: round trip at least 1.00x the thread pool: %s (%.2fx)\n", tripRatio >= 1.0 ? "met" : "NOT met",
              tripRatio);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 4) {
    std::fprintf(stderr, "usage: async_dispatch_bench [ROUND_TRIPS [REPETITIONS [FAN_OUT]]]\n");
    return 2;
  }
  const uint32_t roundTrips = argc > 1 ? ParseCount(argv[1], "ROUND_TRIPS") : 20000;
  const uint32_t repetitions = argc > 2 ? ParseCount(argv[2], "REPETITIONS") : 7;
  const uint32_t fanOut = argc > 3 ? ParseCount(argv[3], "FAN_OUT") : 10000;

  const ResultCode initialised = RylModuleInit();
  if (RylFailed(initialised)) {
    Fail("RylModuleInit", static_cast<unsigned long>(initialised));
    return 1;
  }
  void* rootObject = nullptr;
  const ResultCode got = GetRylObject(kRylRootInterfaceId, &rootObject);
  if (RylFailed(got)) {
    Fail("GetRylObject", static_cast<unsigned long>(got));
    return 1;
  }
  auto* root = static_cast<RootFactory*>(rootObject);
  void* dispatcherObject = nullptr;
  const ObjectReceiver receiver = {&kStore, &dispatcherObject, RYL_VERSION_DISPATCHER, {nullptr, nullptr}};
  const ResultCode created = root->CreateDispatcher(&receiver);
  if (RylFailed(created)) {
    Fail("RootFactory::CreateDispatcher", static_cast<unsigned long>(created));
    root->Release();
    return 1;
  }
  auto* dispatcher = static_cast<RylDispatcher*>(dispatcherObject);

  const int status = Run(dispatcher, roundTrips, repetitions, fanOut);
  dispatcher->Release();
  root->Release();
  RylModuleFinish();
  return status;
}
