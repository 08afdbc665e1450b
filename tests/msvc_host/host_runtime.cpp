#include "host_runtime.h"

#include "win32.h"

// The compiler may turn copies and clears into calls of these even without
// a runtime; the whole host is built freestanding, so these loops are not
// turned back into calls of themselves.
extern "C" {
int _fltused = 0;

void* __cdecl memset(void* target, int value, size_t size) {
  uint8_t* out = static_cast<uint8_t*>(target);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(value);
  return target;
}

void* __cdecl memcpy(void* target, const void* source, size_t size) {
  uint8_t* out = static_cast<uint8_t*>(target);
  const uint8_t* in = static_cast<const uint8_t*>(source);
  for (size_t i = 0; i < size; ++i) out[i] = in[i];
  return target;
}

void* __cdecl memmove(void* target, const void* source, size_t size) {
  uint8_t* out = static_cast<uint8_t*>(target);
  const uint8_t* in = static_cast<const uint8_t*>(source);
  if (out < in) {
    for (size_t i = 0; i < size; ++i) out[i] = in[i];
  } else {
    for (size_t i = size; i > 0; --i) out[i - 1] = in[i - 1];
  }
  return target;
}

int __cdecl memcmp(const void* first, const void* second, size_t size) {
  const uint8_t* a = static_cast<const uint8_t*>(first);
  const uint8_t* b = static_cast<const uint8_t*>(second);
  for (size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// A pure virtual call would be a fault in the host itself.
int __cdecl _purecall() { ExitProcess(3); }
}

namespace msvc_host {
namespace {

int g_passed = 0;
int g_failed = 0;

void Write(const char* text, uint32_t size) {
  uint32_t written = 0;
  WriteFile(GetStdHandle(kStdOutputHandle), text, size, &written, nullptr);
}

}  // namespace

void Print(const char* text) { Write(text, NarrowLength(text)); }

void PrintNumber(uint32_t value) {
  char digits[12];
  int at = 11;
  digits[at] = '\0';
  do {
    digits[--at] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  Print(digits + at);
}

void PrintHex(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  char text[11] = {'0', 'x'};
  for (int i = 0; i < 8; ++i) text[2 + i] = kDigits[(value >> (28 - 4 * i)) & 0xF];
  text[10] = '\0';
  Print(text);
}

// ASCII only, '?' for the rest: the names this host prints are its own.
void PrintWide(const wchar_t* text, uint32_t length) {
  char chunk[64];
  uint32_t used = 0;
  for (uint32_t i = 0; i < length; ++i) {
    chunk[used++] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    if (used == sizeof chunk) {
      Write(chunk, used);
      used = 0;
    }
  }
  Write(chunk, used);
}

void Check(bool passed, const char* file, int line, const char* what, ResultCode code) {
  if (passed) {
    ++g_passed;
    return;
  }
  ++g_failed;
  Print("FAILED ");
  Print(file);
  Print(":");
  PrintNumber(static_cast<uint32_t>(line));
  Print(": ");
  Print(what);
  if (code != 0) {
    Print(" (");
    Print(RylResultName(code));
    Print(" ");
    PrintHex(static_cast<uint32_t>(code));
    Print(")");
  }
  Print("\n");
}

int FailedCount() { return g_failed; }
int PassedCount() { return g_passed; }

void* Allocate(uint32_t size) { return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size); }

void* Reallocate(void* memory, uint32_t size) {
  if (memory == nullptr) return Allocate(size);
  return HeapReAlloc(GetProcessHeap(), 0, memory, size == 0 ? 1 : size);
}

void Free(void* memory) {
  if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

uint32_t WideLength(const wchar_t* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

uint32_t NarrowLength(const char* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

bool SameBytes(const void* first, const void* second, uint32_t size) { return memcmp(first, second, size) == 0; }

bool SameWide(const RylChar16* text, uint32_t length, const wchar_t* expected) {
  if (length != WideLength(expected)) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (text[i] != expected[i]) return false;
  }
  return true;
}

bool SameNarrow(const char* text, uint32_t length, const char* expected) {
  return length == NarrowLength(expected) && SameBytes(text, expected, length);
}

void AppendNumber(wchar_t* text, uint32_t capacity, uint32_t value) {
  wchar_t digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  uint32_t at = WideLength(text);
  while (count > 0 && at + 1 < capacity) text[at++] = digits[--count];
  text[at] = 0;
}

}  // namespace msvc_host
