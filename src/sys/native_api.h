// The one place that includes the Windows and native headers for src/sys and
// declares what mingw-w64's headers lack. Other subsystems include the facade
// headers of src/sys, never this one, unless they are native code themselves.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>

#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_BUFFER_OVERFLOW
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005L)
#endif

extern "C" {
NTSYSAPI NTSTATUS NTAPI RtlGetVersion(PRTL_OSVERSIONINFOW info);
}

// Code-page conversion and case mapping (ntdll exports that winternl.h leaves
// out; the DDK headers declare them when those are in use instead).
#if !defined(_WDMDDK_)
extern "C" {
NTSYSAPI ULONG NTAPI RtlxAnsiStringToUnicodeSize(PCANSI_STRING source);
NTSYSAPI ULONG NTAPI RtlxUnicodeStringToAnsiSize(PCUNICODE_STRING source);
NTSYSAPI WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR character);
NTSYSAPI WCHAR NTAPI RtlDowncaseUnicodeChar(WCHAR character);
// Non-zero when the OEM code page is a double-byte one.
extern NTSYSAPI BOOLEAN NlsMbOemCodePageTag;
}
#endif
#if !defined(_NTIFS_INCLUDED_)
extern "C" {
NTSYSAPI ULONG NTAPI RtlxOemStringToUnicodeSize(PCOEM_STRING source);
NTSYSAPI ULONG NTAPI RtlxUnicodeStringToOemSize(PCUNICODE_STRING source);
NTSYSAPI NTSTATUS NTAPI RtlOemStringToUnicodeString(PUNICODE_STRING destination, PCOEM_STRING source,
                                                    BOOLEAN allocate);
}
#endif

// Path conversion and the process's current directory.
extern "C" {
NTSYSAPI ULONG NTAPI RtlGetFullPathName_U(PCWSTR dosPath, ULONG bufferBytes, PWSTR buffer, PWSTR* filePart);
// Offset (high 16 bits) and length (low 16 bits), both in bytes, of a
// reserved device name that ends the path, or 0.
NTSYSAPI ULONG NTAPI RtlIsDosDeviceName_U(PCWSTR dosPath);
NTSYSAPI ULONG NTAPI RtlGetCurrentDirectory_U(ULONG bufferBytes, PWSTR buffer);
}
#if !defined(_NTIFS_INCLUDED_)
extern "C" {
NTSYSAPI BOOLEAN NTAPI RtlCreateUnicodeString(PUNICODE_STRING destination, PCWSTR source);
}
#endif

// winternl.h declares RtlDosPathNameToNtPathName_U as returning BOOL, but
// ntdll returns a BOOLEAN: only AL is defined, the rest of EAX is whatever the
// routine left there. Every caller goes through this.
inline bool RylRtlDosPathNameToNtPathName(PCWSTR dosPath, PUNICODE_STRING ntPath) noexcept {
  return static_cast<BOOLEAN>(RtlDosPathNameToNtPathName_U(dosPath, ntPath, nullptr, nullptr)) != 0;
}

// File I/O and sections.
extern "C" {
NTSYSAPI NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                   PIO_STATUS_BLOCK iosb, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                                   PULONG key);
NTSYSAPI NTSTATUS NTAPI NtWriteFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                    PIO_STATUS_BLOCK iosb, const void* buffer, ULONG length,
                                    PLARGE_INTEGER offset, PULONG key);
NTSYSAPI NTSTATUS NTAPI NtCreateSection(PHANDLE section, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                        PLARGE_INTEGER maximumSize, ULONG protection, ULONG allocation,
                                        HANDLE file);
NTSYSAPI NTSTATUS NTAPI NtMapViewOfSection(HANDLE section, HANDLE process, PVOID* base, ULONG_PTR zeroBits,
                                           SIZE_T commitSize, PLARGE_INTEGER offset, PSIZE_T viewSize,
                                           ULONG inheritDisposition, ULONG allocationType, ULONG protection);
NTSYSAPI NTSTATUS NTAPI NtUnmapViewOfSection(HANDLE process, PVOID base);
NTSYSAPI NTSTATUS NTAPI NtFlushVirtualMemory(HANDLE process, PVOID* base, PSIZE_T size, PIO_STATUS_BLOCK iosb);
}
#ifndef STATUS_PENDING
#define STATUS_PENDING ((NTSTATUS)0x00000103L)
#endif
#ifndef STATUS_END_OF_FILE
#define STATUS_END_OF_FILE ((NTSTATUS)0xC0000011L)
#endif
#ifndef STATUS_NOT_SAME_DEVICE
#define STATUS_NOT_SAME_DEVICE ((NTSTATUS)0xC00000D4L)
#endif
#ifndef STATUS_NOT_MAPPED_DATA
#define STATUS_NOT_MAPPED_DATA ((NTSTATUS)0xC0000088L)
#endif

// Directory listings and attribute queries, by the names the kernel-mode
// headers give them (user mode reaches the same routines as the Nt names).
#if !defined(_WDMDDK_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI ZwOpenFile(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                   PIO_STATUS_BLOCK iosb, ULONG shareAccess, ULONG openOptions);
NTSYSAPI NTSTATUS NTAPI ZwClose(HANDLE handle);
}
#endif
#if !defined(_NTIFS_INCLUDED_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI ZwQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                             PIO_STATUS_BLOCK iosb, PVOID buffer, ULONG length,
                                             FILE_INFORMATION_CLASS informationClass, BOOLEAN returnSingleEntry,
                                             PUNICODE_STRING fileName, BOOLEAN restartScan);
NTSYSAPI NTSTATUS NTAPI ZwQueryAttributesFile(POBJECT_ATTRIBUTES attributes, PFILE_BASIC_INFORMATION information);
}
#endif
#ifndef STATUS_NO_MORE_FILES
#define STATUS_NO_MORE_FILES ((NTSTATUS)0x80000006L)
#endif
