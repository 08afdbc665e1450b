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
#elif defined(__GNUC__) && defined(__i386__)
#define RYL_CDECL __attribute__((cdecl))
#define RYL_STDCALL __attribute__((stdcall))
#define RYL_THISCALL __attribute__((thiscall))
#define RYL_NODISCARD __attribute__((warn_unused_result))
#elif defined(__GNUC__)
// Other architectures have a single calling convention; clang warns on every
// use of an attribute that does not apply.
#define RYL_CDECL
#define RYL_STDCALL
#define RYL_THISCALL
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
// compiler this SDK supports; elsewhere (the portable build of the library's
// core for fuzzing on the host) wchar_t is 32 bits and char16_t stands in.
#if defined(_WIN32)
typedef wchar_t RylChar16;
#else
typedef char16_t RylChar16;
#endif

// The binary boundary is that of a 32-bit Windows process. Record layouts
// are checked against it where it applies (RYL_CHECK_BOUNDARY_LAYOUT).
#if defined(_WIN32)
#define RYL_CHECK_BOUNDARY_LAYOUT 1
#else
#define RYL_CHECK_BOUNDARY_LAYOUT 0
#endif

#if defined(__cplusplus)
#if RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(void*) == 4, "rylutil is a 32-bit x86 library");
#endif
static_assert(sizeof(RylChar16) == 2, "UTF-16 code units are 16 bits");
#endif
