// UTF-8 to UTF-16 throughput of the string service against the system's
// MultiByteToWideChar, in one process, on 64 MiB of mostly-ASCII text.
//
// Two pairings are timed, best of several runs each:
//   one pass:  ConvertToUtf16 into a fixed-capacity buffer that already has
//              room, against one MultiByteToWideChar call into a buffer that
//              already has room;
//   sized:     ConvertToUtf16 into a version-1 buffer (the service measures,
//              resizes once, converts), against MultiByteToWideChar asked
//              for the size and then converting.
// The goal is a ratio (service / system) of at least 1.0 in both.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ryl/ryl.h"

namespace {

constexpr size_t kTextBytes = size_t{64} << 20;
constexpr int kRuns = 9;

// Words of ASCII letters, spaces and line ends, with about one character in
// thirty-five taken from elsewhere: Latin letters, the euro sign, CJK, emoji.
std::string MakeText() {
  static const char* const kOthers[] = {"\xC3\xA9", "\xC3\xBC", "\xC3\x9F", "\xE2\x82\xAC", "\xE4\xB8\xAD",
                                        "\xE6\x96\x87", "\xF0\x9F\x98\x80", "\xD0\x96"};
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> pick(0, 999);
  std::string text;
  text.reserve(kTextBytes + 16);
  while (text.size() < kTextBytes) {
    const int roll = pick(rng);
    if (roll < 28) {
      text += kOthers[roll % 8];
    } else if (roll < 180) {
      text += ' ';
    } else if (roll < 190) {
      text += '\n';
    } else {
      text += static_cast<char>('a' + roll % 26);
    }
  }
  // Cut back to a whole character at or below the size.
  size_t end = kTextBytes;
  while ((static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& stop, const LARGE_INTEGER& frequency) {
  return static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The best of kRuns timings of each body, the two taking turns so that a
// change in the machine's load weighs on both alike. Negative when a body
// reports failure.
template <class First, class Second>
void BestOfTurns(First first, Second second, double* bestFirst, double* bestSecond) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  *bestFirst = *bestSecond = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    LARGE_INTEGER start;
    LARGE_INTEGER stop;
    QueryPerformanceCounter(&start);
    if (!first()) *bestFirst = -1;
    QueryPerformanceCounter(&stop);
    if (*bestFirst >= 0 && Seconds(start, stop, frequency) < *bestFirst) *bestFirst = Seconds(start, stop, frequency);
    QueryPerformanceCounter(&start);
    if (!second()) *bestSecond = -1;
    QueryPerformanceCounter(&stop);
    if (*bestSecond >= 0 && Seconds(start, stop, frequency) < *bestSecond) {
      *bestSecond = Seconds(start, stop, frequency);
    }
  }
}

// A host buffer over a vector: version 1 grows on Resize; the fixed form
// reports its capacity and refuses to grow.
struct VectorBuffer {
  std::vector<wchar_t> storage;
  uint32_t capacity = 0;
  OutputBuffer record{};

  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<VectorBuffer*>(context);
    if (self->capacity != 0 && length > self->capacity) return RYL_E_BUFFER_TOO_SMALL;
    if (self->storage.size() < length) self->storage.resize(length);
    view->data = self->storage.data();
    view->length = length;
    return RYL_OK;
  }
  static uint32_t RYL_CDECL Capacity(uint8_t* canGrow, void* context) {
    *canGrow = 0;
    return static_cast<VectorBuffer*>(context)->capacity;
  }
  static ResultCode RYL_CDECL Reserve(RylBufferView*, uint32_t, void*) { return RYL_E_NOT_IMPLEMENTED; }
  static ResultCode RYL_CDECL Swap(RylBufferView*, const RylOutputBufferCallbacks*, void*, RylBufferView*, void*) {
    return RYL_E_UNSUPPORTED_VERSION;
  }
};

const RylOutputBufferCallbacks kVersion1 = {1, VectorBuffer::Resize, nullptr, nullptr, nullptr};
const RylOutputBufferCallbacks kFixed = {2, VectorBuffer::Resize, VectorBuffer::Reserve, VectorBuffer::Swap,
                                         VectorBuffer::Capacity};

}  // namespace

int main() {
  HMODULE dll = LoadLibraryW(L"rylutil.dll");
  if (dll == nullptr) {
    std::printf("cannot load rylutil.dll\n");
    return 1;
  }
  auto init = reinterpret_cast<ResultCode (*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "RylModuleInit")));
  auto finish = reinterpret_cast<ResultCode (*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "RylModuleFinish")));
  auto getObject = reinterpret_cast<ResultCode(RYL_STDCALL*)(RylInterfaceId, void**)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "GetRylObject")));
  if (init == nullptr || finish == nullptr || getObject == nullptr || init() < 0) {
    std::printf("rylutil.dll does not start\n");
    return 1;
  }
  void* rootObject = nullptr;
  if (getObject(kRylRootInterfaceId, &rootObject) < 0) return 1;
  auto* root = static_cast<RootFactory*>(rootObject);
  StringService* strings = nullptr;
  const RylReceiverCallbacks store = {1, [](void* object, void* context) -> ResultCode {
                                        *static_cast<StringService**>(context) = static_cast<StringService*>(object);
                                        return RYL_OK;
                                      }};
  const ObjectReceiver receiver = {&store, &strings, 2, {nullptr, nullptr}};
  if (root->GetStringService(&receiver) < 0 || strings == nullptr) return 1;

  const std::string text = MakeText();
  const int bytes = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
  std::printf("text: %d bytes of UTF-8, %d UTF-16 units\n", bytes, units);

  // Both sides write into storage that is already touched, so page faults
  // count for neither.
  std::vector<wchar_t> system(static_cast<size_t>(units));
  VectorBuffer fixed;
  fixed.storage.assign(static_cast<size_t>(units), L'\0');
  fixed.capacity = static_cast<uint32_t>(units);
  fixed.record = {&kFixed, &fixed, {fixed.storage.data(), 0}};
  VectorBuffer sized;
  sized.storage.assign(static_cast<size_t>(units), L'\0');
  sized.record = {&kVersion1, &sized, {nullptr, 0}};

  double systemOnePass = 0;
  double oursOnePass = 0;
  BestOfTurns(
      [&] { return MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, system.data(), units) == units; },
      [&] {
        fixed.record.view.length = 0;
        return strings->ConvertToUtf16(&fixed.record, text.data(), static_cast<uint32_t>(bytes),
                                       RYL_ENCODING_UTF8) >= 0 &&
               fixed.record.view.length == static_cast<uint32_t>(units);
      },
      &systemOnePass, &oursOnePass);
  double systemSized = 0;
  double oursSized = 0;
  BestOfTurns(
      [&] {
        const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
        return MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, system.data(), needed) == units;
      },
      [&] {
        return strings->ConvertToUtf16(&sized.record, text.data(), static_cast<uint32_t>(bytes),
                                       RYL_ENCODING_UTF8) >= 0 &&
               sized.record.view.length == static_cast<uint32_t>(units);
      },
      &systemSized, &oursSized);
  if (systemOnePass < 0 || oursOnePass < 0 || systemSized < 0 || oursSized < 0) {
    std::printf("a conversion failed\n");
    return 1;
  }
  const bool same = std::memcmp(system.data(), fixed.storage.data(), system.size() * sizeof(wchar_t)) == 0 &&
                    std::memcmp(system.data(), sized.storage.data(), system.size() * sizeof(wchar_t)) == 0;
  std::printf("results identical: %s\n", same ? "yes" : "NO");

  const double mib = static_cast<double>(bytes) / (1 << 20);
  std::printf("one pass  service %8.1f MiB/s   MultiByteToWideChar %8.1f MiB/s   ratio %.2fx\n", mib / oursOnePass,
              mib / systemOnePass, systemOnePass / oursOnePass);
  std::printf("sized     service %8.1f MiB/s   MultiByteToWideChar %8.1f MiB/s   ratio %.2fx\n", mib / oursSized,
              mib / systemSized, systemSized / oursSized);

  root->Release();
  finish();
  FreeLibrary(dll);
  return same ? 0 : 1;
}
