// Compiler-neutral spellings for the binary boundary. The SDK compiles with
// MSVC and with mingw-w64 g++; everything compiler-specific lives here.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_MSC_VER)
#define RYL_CDECL __cdecl
#define RYL_STDCALL __stdcall
#define RYL_THISCALL __thiscall
#define RYL_NODISCARD _Check_return_
#elif defined(__GNUC__)
#define RYL_CDECL __attribute__((cdecl))
#define RYL_STDCALL __attribute__((stdcall))
#define RYL_THISCALL __attribute__((thiscall))
#define RYL_NODISCARD __attribute__((warn_unused_result))
#else
#define RYL_CDECL
#define RYL_STDCALL
#define RYL_THISCALL
#define RYL_NODISCARD
#endif

#if defined(RYL_BUILDING_DLL)
#define RYL_API
#elif defined(_WIN32)
#define RYL_API __declspec(dllimport)
#else
#define RYL_API
#endif

// Interfaces are tables of virtual methods in slot order. Interfaces have
// no virtual destructor: that would cost two slots with g++ and one with MSVC.
#if defined(_MSC_VER)
#define RYL_INTERFACE struct __declspec(novtable)
#else
#define RYL_INTERFACE struct
#endif

// UTF-16 code unit as the host sees it. wchar_t is 16 bits on every Windows
// compiler this SDK supports.
typedef wchar_t RylChar16;

#if defined(__cplusplus)
static_assert(sizeof(void*) == 4, "rylutil is a 32-bit x86 library");
static_assert(sizeof(RylChar16) == 2, "UTF-16 code units are 16 bits");
#endif
