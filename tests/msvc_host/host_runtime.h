// What the MSVC-ABI host has instead of a C runtime: output, a pass/fail
// tally, heap memory and a few text helpers.
#pragma once

#include <stdint.h>

#include "ryl/ryl.h"

// Defined in host_runtime.cpp, as a C runtime would define them.
extern "C" {
void* __cdecl memset(void* target, int value, size_t size);
void* __cdecl memcpy(void* target, const void* source, size_t size);
void* __cdecl memmove(void* target, const void* source, size_t size);
int __cdecl memcmp(const void* first, const void* second, size_t size);
}

namespace msvc_host {

void Print(const char* text);
void PrintNumber(uint32_t value);
void PrintHex(uint32_t value);
void PrintWide(const wchar_t* text, uint32_t length);

// Counts a check; a failure prints where and what, with the result code
// when one is given.
void Check(bool passed, const char* file, int line, const char* what, ResultCode code = 0);
int FailedCount();
int PassedCount();

void* Allocate(uint32_t size);
void* Reallocate(void* memory, uint32_t size);
void Free(void* memory);

uint32_t WideLength(const wchar_t* text);
uint32_t NarrowLength(const char* text);
bool SameBytes(const void* first, const void* second, uint32_t size);
bool SameWide(const RylChar16* text, uint32_t length, const wchar_t* expected);
bool SameNarrow(const char* text, uint32_t length, const char* expected);

// Appends a decimal number to a wide name, for names unique to this run.
void AppendNumber(wchar_t* text, uint32_t capacity, uint32_t value);

}  // namespace msvc_host

#define HOST_CHECK(condition, what) ::msvc_host::Check((condition), __FILE__, __LINE__, (what))
#define HOST_CHECK_OK(call, what)                                        \
  do {                                                                   \
    const ResultCode host_check_rc = (call);                             \
    ::msvc_host::Check(host_check_rc >= 0, __FILE__, __LINE__, (what), host_check_rc); \
  } while (0)
#define HOST_CHECK_CODE(call, expected, what)                            \
  do {                                                                   \
    const ResultCode host_check_rc = (call);                             \
    ::msvc_host::Check(host_check_rc == (expected), __FILE__, __LINE__, (what), host_check_rc); \
  } while (0)
