// The few Windows functions this host calls, declared by hand: the host is
// built without a C runtime or Windows SDK, from the SDK's headers alone,
// the way the smallest MSVC-built customer program could be.
#pragma once

#include <stdint.h>

extern "C" {
typedef void* HANDLE;
typedef void* HKEY;

__declspec(dllimport) HANDLE __stdcall GetStdHandle(uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(HANDLE file, const void* data, uint32_t size, uint32_t* written,
                                              void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(uint32_t code);
__declspec(dllimport) HANDLE __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(HANDLE heap, uint32_t flags, uint32_t size);
__declspec(dllimport) void* __stdcall HeapReAlloc(HANDLE heap, uint32_t flags, void* memory, uint32_t size);
__declspec(dllimport) int __stdcall HeapFree(HANDLE heap, uint32_t flags, void* memory);
__declspec(dllimport) uint32_t __stdcall GetCurrentProcessId();
__declspec(dllimport) uint32_t __stdcall GetFileAttributesW(const wchar_t* path);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE handle);
__declspec(dllimport) HANDLE __stdcall CreateFileW(const wchar_t* name, uint32_t access, uint32_t share,
                                                   void* security, uint32_t disposition, uint32_t flags,
                                                   HANDLE templateFile);

__declspec(dllimport) int32_t __stdcall RegOpenKeyExW(HKEY key, const wchar_t* subKey, uint32_t options,
                                                      uint32_t access, HKEY* result);
__declspec(dllimport) int32_t __stdcall RegQueryValueExW(HKEY key, const wchar_t* name, uint32_t* reserved,
                                                         uint32_t* type, uint8_t* data, uint32_t* size);
__declspec(dllimport) int32_t __stdcall RegCloseKey(HKEY key);
}

constexpr uint32_t kStdOutputHandle = 0xFFFFFFF5u;  // (DWORD)-11
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kFileAttributeDirectory = 0x10u;
static const HKEY kHkeyCurrentUser = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
constexpr uint32_t kKeyRead = 0x20019u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kCreateAlways = 2;
static const HANDLE kInvalidHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
