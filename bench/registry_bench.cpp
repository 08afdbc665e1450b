// What reading the registry through the library costs a host, next to
// advapi32 doing the same work in the same process and the same run, so the
// machine's and Wine's speed cancel out of the ratio.
//
// open + query  Open HKCU\Software\rylutil-registry-bench from the HKCU root
//               object, read its DWORD value "number", give the key back;
//               ROUNDS times in a row. The advapi32 side: RegOpenKeyExW from
//               HKEY_CURRENT_USER, RegQueryValueExW, RegCloseKey. Reported
//               as rounds per second.
// enumerate     The names of the SUBKEYS subkeys of ...\tree: the library's
//               subkey enumerator (GetCurrent, MoveNext to the end) against
//               RegEnumKeyExW by index, each on a key it opened before the
//               clock starts. Reported as total time for one walk.
//
// Both sides read into fixed buffers of their own, so neither pays for the
// host's allocations, and both check every answer (type, value, name count
// and total name length), so a side that skips work fails instead of
// winning. Each measurement runs REPETITIONS times, the two sides
// alternating which goes first; the table shows the median of each side and
// the ratio rylutil / advapi32 as throughput (above 1.0 the library is the
// faster). The goal: at least 1.0x advapi32. The exit code says only whether
// the benchmark ran, not whether the goal was met.
//
// The keys are made with advapi32 before anything is timed and removed at
// the end; a key of that name left by an interrupted run is removed first.
//
// Usage: registry_bench.exe [ROUNDS [REPETITIONS [SUBKEYS]]]
//        defaults 100000, 5, 10000
//
// Under Wine, keep one wineserver running for the whole session: every
// registry call is a round trip to it, so its start-up and shutdown must stay
// out of what is measured, and the runs should see a warm server.
// cmake/wine-run.sh --setup makes the prefix and starts a persistent server
// (`wineserver -p`); from the repository root:
//
//   export RYL_WINEPREFIX=$PWD/build/wineprefix
//   cmake/wine-run.sh --setup
//   cmake/wine-run.sh build/bin/registry_bench.exe 100000 5
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
#include <cstring>
#include <vector>

#include "ryl/ryl.h"

using ryl::bench::Median;
using ryl::bench::Now;

namespace {

const wchar_t kBenchPath[] = L"Software\\rylutil-registry-bench";
const wchar_t kTreePath[] = L"Software\\rylutil-registry-bench\\tree";
const wchar_t kValueName[] = L"number";
// Lengths in UTF-16 units, without the terminator.
constexpr uint32_t kBenchPathLength = sizeof kBenchPath / sizeof kBenchPath[0] - 1;
constexpr uint32_t kTreePathLength = sizeof kTreePath / sizeof kTreePath[0] - 1;
constexpr uint32_t kValueNameLength = sizeof kValueName / sizeof kValueName[0] - 1;
constexpr DWORD kNumber = 0x2B0B5EEDu;
// Subkey names: "k" and five digits.
constexpr uint32_t kSubKeyNameLength = 6;

bool Fail(const char* what, unsigned long code) {
  std::fprintf(stderr, "registry_bench: %s failed (0x%08lX)\n", what, code);
  return false;
}

// --- A fixed output buffer ---------------------------------------------------

// Storage the host owns; Resize only moves the length within it, as
// advapi32's callers hand it a buffer on the stack.
struct FixedStorage {
  uint8_t* bytes;
  uint32_t capacity;  // in elements of the operation: bytes or UTF-16 units
};

ResultCode RYL_CDECL FixedResize(RylBufferView* view, uint32_t newLength, void* context) {
  auto* storage = static_cast<FixedStorage*>(context);
  if (newLength > storage->capacity) return RYL_E_BUFFER_TOO_SMALL;
  view->data = storage->bytes;
  view->length = newLength;
  return RYL_OK;
}

const RylOutputBufferCallbacks kFixedBuffer = {1, FixedResize, nullptr, nullptr, nullptr};

// --- Setting up and removing the keys ---------------------------------------

void SubKeyName(uint32_t index, wchar_t (&name)[kSubKeyNameLength + 1]) {
  name[0] = L'k';
  for (uint32_t i = kSubKeyNameLength; i > 1; --i) {
    name[i - 1] = static_cast<wchar_t>(L'0' + index % 10);
    index /= 10;
  }
  name[kSubKeyNameLength] = 0;
}

bool RemoveBenchKey() {
  const LONG error = RegDeleteTreeW(HKEY_CURRENT_USER, kBenchPath);
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return Fail("RegDeleteTreeW", error);
  HKEY left = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kBenchPath, 0, KEY_READ, &left) == ERROR_SUCCESS) {
    RegCloseKey(left);
    std::fprintf(stderr, "registry_bench: HKCU\\%ls is still there\n", kBenchPath);
    return false;
  }
  return true;
}

bool CreateBenchKeys(uint32_t subkeys) {
  if (!RemoveBenchKey()) return false;
  HKEY bench = nullptr;
  LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kBenchPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bench, nullptr);
  if (error != ERROR_SUCCESS) return Fail("RegCreateKeyExW (bench key)", error);
  const DWORD number = kNumber;
  error = RegSetValueExW(bench, kValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  HKEY tree = nullptr;
  if (error == ERROR_SUCCESS) {
    error = RegCreateKeyExW(bench, L"tree", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &tree, nullptr);
  }
  RegCloseKey(bench);
  if (error != ERROR_SUCCESS) return Fail("RegSetValueExW or RegCreateKeyExW (tree)", error);
  for (uint32_t i = 0; i < subkeys && error == ERROR_SUCCESS; ++i) {
    wchar_t name[kSubKeyNameLength + 1];
    SubKeyName(i, name);
    HKEY child = nullptr;
    error = RegCreateKeyExW(tree, name, 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr);
    if (error == ERROR_SUCCESS) RegCloseKey(child);
  }
  RegCloseKey(tree);
  if (error != ERROR_SUCCESS) return Fail("RegCreateKeyExW (subkey)", error);
  return true;
}

// --- The measured work --------------------------------------------------------
// Each returns the elapsed seconds, or a negative number on failure.

double RylOpenQuery(RylRegistryKey* user, uint32_t rounds) {
  alignas(8) uint8_t bytes[16];
  FixedStorage storage = {bytes, sizeof bytes};
  OutputBuffer out = {&kFixedBuffer, &storage, {bytes, 0}};
  uint64_t sum = 0;
  const double start = Now();
  for (uint32_t i = 0; i < rounds; ++i) {
    RylKeyHolder key = {nullptr, nullptr};
    ResultCode result = user->OpenSubKey(&key, kBenchPath, kBenchPathLength, KEY_QUERY_VALUE);
    if (RylFailed(result)) {
      Fail("RylRegistryKey::OpenSubKey", static_cast<unsigned long>(result));
      return -1.0;
    }
    uint32_t type = 0;
    result = key.key->QueryValue(&type, &out, kValueName, kValueNameLength);
    RylSharedRelease(&key.control);
    if (RylFailed(result) || type != REG_DWORD || out.view.length != sizeof(DWORD)) {
      Fail("RylRegistryKey::QueryValue", static_cast<unsigned long>(result));
      return -1.0;
    }
    DWORD value = 0;
    std::memcpy(&value, out.view.data, sizeof value);
    sum += value;
  }
  const double elapsed = Now() - start;
  if (sum != uint64_t{kNumber} * rounds) {
    std::fprintf(stderr, "registry_bench: the library read a wrong value\n");
    return -1.0;
  }
  return elapsed;
}

double NativeOpenQuery(uint32_t rounds) {
  uint64_t sum = 0;
  const double start = Now();
  for (uint32_t i = 0; i < rounds; ++i) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExW(HKEY_CURRENT_USER, kBenchPath, 0, KEY_QUERY_VALUE, &key);
    if (error != ERROR_SUCCESS) {
      Fail("RegOpenKeyExW", error);
      return -1.0;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    error = RegQueryValueExW(key, kValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
      Fail("RegQueryValueExW", error);
      return -1.0;
    }
    sum += value;
  }
  const double elapsed = Now() - start;
  if (sum != uint64_t{kNumber} * rounds) {
    std::fprintf(stderr, "registry_bench: advapi32 read a wrong value\n");
    return -1.0;
  }
  return elapsed;
}

// Every name is counted and its length summed: both must match the tree.
bool CheckWalk(const char* side, uint32_t names, uint64_t units, uint32_t expected) {
  if (names == expected && units == uint64_t{expected} * kSubKeyNameLength) return true;
  std::fprintf(stderr, "registry_bench: %s walked %u names of %llu units (wanted %u)\n", side, names,
               static_cast<unsigned long long>(units), expected);
  return false;
}

double RylEnumerate(RylRegistryKey* tree, uint32_t expected) {
  alignas(8) uint8_t bytes[512];
  FixedStorage storage = {bytes, sizeof bytes / sizeof(wchar_t)};
  OutputBuffer out = {&kFixedBuffer, &storage, {bytes, 0}};
  uint32_t names = 0;
  uint64_t units = 0;
  const double start = Now();
  RylEnumeratorHolder walker = {nullptr, nullptr};
  ResultCode result = tree->EnumerateSubKeys(&walker);
  if (RylFailed(result)) {
    Fail("RylRegistryKey::EnumerateSubKeys", static_cast<unsigned long>(result));
    return -1.0;
  }
  ResultCode step = RYL_OK;
  while (step == RYL_OK) {
    result = walker.enumerator->GetCurrent(&out);
    if (RylFailed(result)) break;
    ++names;
    units += out.view.length;
    step = walker.enumerator->MoveNext();
  }
  RylSharedRelease(&walker.control);
  const double elapsed = Now() - start;
  if (RylFailed(result)) {
    Fail("RylKeyEnumerator::GetCurrent", static_cast<unsigned long>(result));
    return -1.0;
  }
  if (step != RYL_S_NO_MORE_ITEMS) {
    Fail("RylKeyEnumerator::MoveNext", static_cast<unsigned long>(step));
    return -1.0;
  }
  return CheckWalk("the library", names, units, expected) ? elapsed : -1.0;
}

double NativeEnumerate(HKEY tree, uint32_t expected) {
  wchar_t name[256];
  uint32_t names = 0;
  uint64_t units = 0;
  const double start = Now();
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name / sizeof name[0];
    const LONG error = RegEnumKeyExW(tree, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_NO_MORE_ITEMS) break;
    if (error != ERROR_SUCCESS) {
      Fail("RegEnumKeyExW", error);
      return -1.0;
    }
    ++names;
    units += length;
  }
  const double elapsed = Now() - start;
  return CheckWalk("advapi32", names, units, expected) ? elapsed : -1.0;
}

uint32_t ParseCount(const char* text, const char* name, unsigned long limit) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value == 0 || value > limit) {
    std::fprintf(stderr, "registry_bench: %s must be a whole number from 1 to %lu\n", name, limit);
    std::exit(2);
  }
  return static_cast<uint32_t>(value);
}

struct Samples {
  std::vector<double> ryl;
  std::vector<double> native;
};

int Measure(RylRegistryKey* user, uint32_t rounds, uint32_t repetitions, uint32_t subkeys) {
  RylKeyHolder tree = {nullptr, nullptr};
  const ResultCode opened = user->OpenSubKey(&tree, kTreePath, kTreePathLength, KEY_READ);
  if (RylFailed(opened)) {
    Fail("RylRegistryKey::OpenSubKey (tree)", static_cast<unsigned long>(opened));
    return 1;
  }
  HKEY nativeTree = nullptr;
  const LONG error = RegOpenKeyExW(HKEY_CURRENT_USER, kTreePath, 0, KEY_READ, &nativeTree);
  if (error != ERROR_SUCCESS) {
    Fail("RegOpenKeyExW (tree)", error);
    RylSharedRelease(&tree.control);
    return 1;
  }

  // Faults in both sides' code, the library's cached roots and the server's
  // view of the keys before anything is timed.
  const uint32_t warmUp = std::min<uint32_t>(rounds, 1000);
  bool ok = RylOpenQuery(user, warmUp) >= 0 && NativeOpenQuery(warmUp) >= 0 &&
            RylEnumerate(tree.key, subkeys) >= 0 && NativeEnumerate(nativeTree, subkeys) >= 0;

  Samples opens;
  Samples walks;
  for (uint32_t rep = 0; rep < repetitions && ok; ++rep) {
    const bool rylFirst = rep % 2 == 0;
    for (int turn = 0; turn < 2 && ok; ++turn) {
      if ((turn == 0) == rylFirst) {
        const double seconds = RylOpenQuery(user, rounds);
        ok = seconds > 0;
        opens.ryl.push_back(static_cast<double>(rounds) / seconds);
      } else {
        const double seconds = NativeOpenQuery(rounds);
        ok = seconds > 0;
        opens.native.push_back(static_cast<double>(rounds) / seconds);
      }
    }
    for (int turn = 0; turn < 2 && ok; ++turn) {
      if ((turn == 0) == rylFirst) {
        const double seconds = RylEnumerate(tree.key, subkeys);
        ok = seconds > 0;
        walks.ryl.push_back(seconds);
      } else {
        const double seconds = NativeEnumerate(nativeTree, subkeys);
        ok = seconds > 0;
        walks.native.push_back(seconds);
      }
    }
  }
  RegCloseKey(nativeTree);
  RylSharedRelease(&tree.control);
  if (!ok) return 1;

  const double rylOpens = Median(opens.ryl);
  const double nativeOpens = Median(opens.native);
  const double rylWalk = Median(walks.ryl);
  const double nativeWalk = Median(walks.native);
  const double openRatio = rylOpens / nativeOpens;
  const double walkRatio = nativeWalk / rylWalk;  // as throughput: above 1.0 the library is faster

  std::printf("registry_bench: %u open + query rounds, %u subkeys enumerated, median of %u runs\n", rounds, subkeys,
              repetitions);
  std::printf("%-24s %14s %14s %14s\n", "measurement", "rylutil", "advapi32", "ryl/advapi32");
  std::printf("%-24s %14.0f %14.0f %13.2fx\n", "open + query per s", rylOpens, nativeOpens, openRatio);
  std::printf("%-24s %14.2f %14.2f %13.2fx\n", "enumerate total ms", rylWalk * 1000.0, nativeWalk * 1000.0,
              walkRatio);
  std::printf("goal: open + query at least 1.00x advapi32: %s (%.2fx)\n", openRatio >= 1.0 ? "met" : "NOT met",
              openRatio);
  std::printf("goal: enumeration at least 1.00x advapi32: %s (%.2fx)\n", walkRatio >= 1.0 ? "met" : "NOT met",
              walkRatio);
  return 0;
}

// The library's side from module start to the HKCU root object.
int RunWithLibrary(uint32_t rounds, uint32_t repetitions, uint32_t subkeys) {
  const ResultCode initialised = RylModuleInit();
  if (RylFailed(initialised)) {
    Fail("RylModuleInit", static_cast<unsigned long>(initialised));
    return 1;
  }
  void* rootObject = nullptr;
  const ResultCode got = GetRylObject(kRylRootInterfaceId, &rootObject);
  if (RylFailed(got)) {
    Fail("GetRylObject", static_cast<unsigned long>(got));
    RylModuleFinish();
    return 1;
  }
  auto* root = static_cast<RootFactory*>(rootObject);
  RylKeyHolder user = {nullptr, nullptr};
  const ResultCode opened = root->OpenRegistryRoot(&user, RYL_ROOT_CURRENT_USER);
  int status = 1;
  if (RylFailed(opened)) {
    Fail("RootFactory::OpenRegistryRoot", static_cast<unsigned long>(opened));
  } else {
    status = Measure(user.key, rounds, repetitions, subkeys);
    RylSharedRelease(&user.control);
  }
  root->Release();
  RylModuleFinish();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 4) {
    std::fprintf(stderr, "usage: registry_bench [ROUNDS [REPETITIONS [SUBKEYS]]]\n");
    return 2;
  }
  const uint32_t rounds = argc > 1 ? ParseCount(argv[1], "ROUNDS", 100000000ul) : 100000;
  const uint32_t repetitions = argc > 2 ? ParseCount(argv[2], "REPETITIONS", 1000ul) : 5;
  const uint32_t subkeys = argc > 3 ? ParseCount(argv[3], "SUBKEYS", 99999ul) : 10000;

  if (!CreateBenchKeys(subkeys)) {
    RemoveBenchKey();
    return 1;
  }
  const int status = RunWithLibrary(rounds, repetitions, subkeys);
  const bool removed = RemoveBenchKey();
  return status != 0 ? status : removed ? 0 : 1;
}
