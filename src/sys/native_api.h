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
#ifndef STATUS_OBJECT_NAME_COLLISION
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#endif
// How a mapped view is shared with child processes (NtMapViewOfSection).
#if !defined(_WDMDDK_)
typedef enum _SECTION_INHERIT { ViewShare = 1, ViewUnmap = 2 } SECTION_INHERIT;
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

// Security descriptors, access lists and the security of open objects. The
// self-relative validity routine is deliberately absent: its result type
// differs between systems, so descriptors are checked structurally instead
// (sys/security_descriptor_check.h).
#if !defined(_NTIFS_INCLUDED_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI RtlGetOwnerSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID* owner,
                                                      PBOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlGetGroupSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID* group,
                                                      PBOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlGetDaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PBOOLEAN present, PACL* dacl,
                                                     PBOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlGetSaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PBOOLEAN present, PACL* sacl,
                                                     PBOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlSetOwnerSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID owner,
                                                      BOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlSetGroupSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID group,
                                                      BOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlSetSaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, BOOLEAN present, PACL sacl,
                                                     BOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI RtlAbsoluteToSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR selfRelative,
                                                    PULONG length);
NTSYSAPI BOOLEAN NTAPI RtlValidSid(PSID sid);
NTSYSAPI ULONG NTAPI RtlLengthSid(PSID sid);
NTSYSAPI NTSTATUS NTAPI RtlCopySid(ULONG length, PSID destination, PSID source);
NTSYSAPI NTSTATUS NTAPI RtlCreateAcl(PACL acl, ULONG length, ULONG revision);
NTSYSAPI NTSTATUS NTAPI RtlAddAce(PACL acl, ULONG revision, ULONG startingIndex, PVOID aceList, ULONG listLength);
NTSYSAPI NTSTATUS NTAPI RtlGetAce(PACL acl, ULONG index, PVOID* ace);
NTSYSAPI NTSTATUS NTAPI ZwQuerySecurityObject(HANDLE handle, SECURITY_INFORMATION parts,
                                              PSECURITY_DESCRIPTOR descriptor, ULONG length, PULONG needed);
NTSYSAPI NTSTATUS NTAPI ZwSetSecurityObject(HANDLE handle, SECURITY_INFORMATION parts,
                                            PSECURITY_DESCRIPTOR descriptor);
}
#endif
#if !defined(_WDMDDK_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI RtlCreateSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, ULONG revision);
NTSYSAPI NTSTATUS NTAPI RtlSetDaclSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, BOOLEAN present, PACL dacl,
                                                     BOOLEAN defaulted);
NTSYSAPI NTSTATUS NTAPI ZwOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
}
#endif
#if !defined(_NTDDK_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI ZwQueryVolumeInformationFile(HANDLE file, PIO_STATUS_BLOCK iosb, PVOID buffer, ULONG length,
                                                     FS_INFORMATION_CLASS informationClass);
}
#endif
extern "C" {
NTSYSAPI NTSTATUS NTAPI RtlGetControlSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor,
                                                        PSECURITY_DESCRIPTOR_CONTROL control, PULONG revision);
NTSYSAPI NTSTATUS NTAPI RtlSetControlSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor,
                                                        SECURITY_DESCRIPTOR_CONTROL mask,
                                                        SECURITY_DESCRIPTOR_CONTROL bits);
}
#ifndef STATUS_BUFFER_TOO_SMALL
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023L)
#endif

// Opening, reading, writing and describing files, and the process environment
// (the file-system service's file operations).
#if !defined(_WDMDDK_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI ZwCreateFile(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                     PIO_STATUS_BLOCK iosb, PLARGE_INTEGER allocationSize, ULONG fileAttributes,
                                     ULONG shareAccess, ULONG createDisposition, ULONG createOptions, PVOID eaBuffer,
                                     ULONG eaLength);
NTSYSAPI NTSTATUS NTAPI ZwReadFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                   PIO_STATUS_BLOCK iosb, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                                   PULONG key);
NTSYSAPI NTSTATUS NTAPI ZwWriteFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                    PIO_STATUS_BLOCK iosb, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                                    PULONG key);
NTSYSAPI NTSTATUS NTAPI ZwQueryInformationFile(HANDLE file, PIO_STATUS_BLOCK iosb, PVOID information, ULONG length,
                                               FILE_INFORMATION_CLASS informationClass);
NTSYSAPI NTSTATUS NTAPI ZwSetInformationFile(HANDLE file, PIO_STATUS_BLOCK iosb, PVOID information, ULONG length,
                                             FILE_INFORMATION_CLASS informationClass);
}
#endif
#if !defined(_NTIFS_INCLUDED_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI RtlQueryEnvironmentVariable_U(PWSTR environment, PUNICODE_STRING name,
                                                      PUNICODE_STRING value);
}
#endif
#ifndef STATUS_ACCESS_DENIED
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#endif
#ifndef STATUS_PRIVILEGE_NOT_HELD
#define STATUS_PRIVILEGE_NOT_HELD ((NTSTATUS)0xC0000061L)
#endif
#ifndef STATUS_VARIABLE_NOT_FOUND
#define STATUS_VARIABLE_NOT_FOUND ((NTSTATUS)0xC0000100L)
#endif
#ifndef STATUS_FILE_IS_A_DIRECTORY
#define STATUS_FILE_IS_A_DIRECTORY ((NTSTATUS)0xC00000BAL)
#endif
#ifndef STATUS_UNSUCCESSFUL
#define STATUS_UNSUCCESSFUL ((NTSTATUS)0xC0000001L)
#endif
#ifndef STATUS_DISK_FULL
#define STATUS_DISK_FULL ((NTSTATUS)0xC000007FL)
#endif
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif
#ifndef STATUS_OBJECT_PATH_NOT_FOUND
#define STATUS_OBJECT_PATH_NOT_FOUND ((NTSTATUS)0xC000003AL)
#endif

// Events, waits and critical sections (ntdll exports that winternl.h leaves
// out).
extern "C" {
typedef enum _RYL_EVENT_TYPE { RylNotificationEvent = 0, RylSynchronizationEvent = 1 } RYL_EVENT_TYPE;
typedef enum _RYL_WAIT_TYPE { RylWaitAll = 0, RylWaitAny = 1 } RYL_WAIT_TYPE;
NTSYSAPI NTSTATUS NTAPI NtCreateEvent(PHANDLE event, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                      RYL_EVENT_TYPE type, BOOLEAN initialState);
NTSYSAPI NTSTATUS NTAPI NtSetEvent(HANDLE event, PLONG previousState);
NTSYSAPI NTSTATUS NTAPI NtResetEvent(HANDLE event, PLONG previousState);
NTSYSAPI NTSTATUS NTAPI NtWaitForMultipleObjects(ULONG count, const HANDLE* handles, RYL_WAIT_TYPE type,
                                                 BOOLEAN alertable, PLARGE_INTEGER timeout);
NTSYSAPI NTSTATUS NTAPI RtlInitializeCriticalSection(RTL_CRITICAL_SECTION* section);
NTSYSAPI NTSTATUS NTAPI RtlEnterCriticalSection(RTL_CRITICAL_SECTION* section);
NTSYSAPI NTSTATUS NTAPI RtlLeaveCriticalSection(RTL_CRITICAL_SECTION* section);
NTSYSAPI NTSTATUS NTAPI RtlDeleteCriticalSection(RTL_CRITICAL_SECTION* section);
}

// Registry keys (ntdll exports that winternl.h leaves out).
extern "C" {
NTSYSAPI NTSTATUS NTAPI ZwCreateKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG titleIndex,
                                    PUNICODE_STRING keyClass, ULONG options, PULONG disposition);
NTSYSAPI NTSTATUS NTAPI ZwQueryKey(HANDLE key, ULONG infoClass, PVOID buffer, ULONG length, PULONG resultLength);
NTSYSAPI NTSTATUS NTAPI ZwEnumerateKey(HANDLE key, ULONG index, ULONG infoClass, PVOID buffer, ULONG length,
                                       PULONG resultLength);
NTSYSAPI NTSTATUS NTAPI ZwEnumerateValueKey(HANDLE key, ULONG index, ULONG infoClass, PVOID buffer, ULONG length,
                                            PULONG resultLength);
NTSYSAPI NTSTATUS NTAPI ZwQueryValueKey(HANDLE key, PUNICODE_STRING name, ULONG infoClass, PVOID buffer,
                                        ULONG length, PULONG resultLength);
NTSYSAPI NTSTATUS NTAPI ZwSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG titleIndex, ULONG type, PVOID data,
                                      ULONG size);
NTSYSAPI NTSTATUS NTAPI ZwDeleteValueKey(HANDLE key, PUNICODE_STRING name);
NTSYSAPI NTSTATUS NTAPI ZwDeleteKey(HANDLE key);
NTSYSAPI NTSTATUS NTAPI RtlOpenCurrentUser(ACCESS_MASK access, PHANDLE key);
NTSYSAPI NTSTATUS NTAPI ZwNotifyChangeKey(HANDLE key, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                                          PIO_STATUS_BLOCK iosb, ULONG filter, BOOLEAN watchSubtree, PVOID buffer,
                                          ULONG length, BOOLEAN asynchronous);
NTSYSAPI NTSTATUS NTAPI ZwSaveKey(HANDLE key, HANDLE file);
NTSYSAPI NTSTATUS NTAPI ZwLoadKey(POBJECT_ATTRIBUTES target, POBJECT_ATTRIBUTES file);
NTSYSAPI NTSTATUS NTAPI ZwUnloadKey(POBJECT_ATTRIBUTES target);
NTSYSAPI NTSTATUS NTAPI ZwRestoreKey(HANDLE key, HANDLE file, ULONG flags);
}

// Controls sent to file systems and devices, and the process token.
#if !defined(_NTIFS_INCLUDED_)
extern "C" {
NTSYSAPI NTSTATUS NTAPI ZwFsControlFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID apcContext,
                                        PIO_STATUS_BLOCK iosb, ULONG code, PVOID input, ULONG inputLength,
                                        PVOID output, ULONG outputLength);
NTSYSAPI NTSTATUS NTAPI ZwDeviceIoControlFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID apcContext,
                                              PIO_STATUS_BLOCK iosb, ULONG code, PVOID input, ULONG inputLength,
                                              PVOID output, ULONG outputLength);
NTSYSAPI NTSTATUS NTAPI ZwOpenProcessToken(HANDLE process, ACCESS_MASK access, PHANDLE token);
NTSYSAPI NTSTATUS NTAPI ZwAdjustPrivilegesToken(HANDLE token, BOOLEAN disableAll, PTOKEN_PRIVILEGES newState,
                                                ULONG length, PTOKEN_PRIVILEGES previousState, PULONG returnLength);
}
#endif
