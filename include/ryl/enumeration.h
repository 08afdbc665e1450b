// Directory listings: the entry objects that describe one directory entry, the
// enumerator hosts create through FileSystemService slots 3 and 4, and the
// two-table enumerator object of slots 1, 2, 6 and 7.
//
// An enumerator stands on its first reported entry as soon as it is created
// (or at the end, when nothing matches). MoveNext and Start answer
// RYL_S_NO_MORE_ITEMS, a success, at the end of the listing; failures are
// native failures of the directory query.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"
#include "ryl/security.h"

// Which entries a listing reports (the flags argument of slots 1 to 4).
enum RylEnumerationFlags : uint32_t {
  RYL_ENUM_PARENT = 0x01,          // "..", together with RYL_ENUM_DIRECTORIES
  RYL_ENUM_SELF = 0x02,            // ".", together with RYL_ENUM_DIRECTORIES
  RYL_ENUM_DIRECTORIES = 0x04,
  RYL_ENUM_FILES = 0x08,           // everything that is not a directory
  RYL_ENUM_REPARSE_POINTS = 0x10,  // otherwise junctions and links are never reported
  RYL_ENUM_ALL = 0xFF,
  // The directory is kept as a full path and entry full paths keep names the
  // ordinary path form would change (a trailing dot or space, a reserved
  // device name), switching to the `\\?\` form where needed.
  RYL_ENUM_VERBATIM_PATHS = 0x400,
};

#define RYL_VERSION_DIRECTORY_ENTRY 2u
#define RYL_VERSION_HOST_ENUMERATOR 1u

// One directory entry (type 5, highest version 2): a copy of what the listing
// reported, independent of the enumerator that produced it. Times are native
// file times (100-ns units since 1601-01-01 UTC).
RYL_INTERFACE DirectoryEntry {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  // Frees an entry delivered to a receiver, with that receiver's allocator
  // record. The entry an enumerator object lends out (DirectoryEnumerator::
  // GetEntry) belongs to the enumerator: Destroy on it does nothing.
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // Views into the entry, valid while it lives and is not refilled.
  virtual RylStringView* RYL_THISCALL GetName(RylStringView* result) = 0;
  virtual RylStringView* RYL_THISCALL GetDirectory(RylStringView* result) = 0;
  // The directory joined with the name.
  virtual ResultCode RYL_THISCALL GetFullPath(OutputBuffer* output) = 0;
  // Empty when the file system keeps no separate short (8.3) name.
  virtual RylStringView* RYL_THISCALL GetShortName(RylStringView* result) = 0;
  virtual uint64_t RYL_THISCALL GetCreationTime() = 0;
  virtual uint64_t RYL_THISCALL GetLastAccessTime() = 0;
  virtual uint64_t RYL_THISCALL GetLastWriteTime() = 0;
  virtual uint64_t RYL_THISCALL GetChangeTime() = 0;
  // The extended-attribute size; for a reparse point, its reparse tag.
  virtual uint32_t RYL_THISCALL GetEaSize() = 0;
  // Reads the discretionary list and mandatory label of the entry's file.
  virtual ResultCode RYL_THISCALL ReadSecurity(RylSecurityObject* descriptor) = 0;
  // Applies the parts the object holds to the entry's file.
  virtual ResultCode RYL_THISCALL ApplySecurity(RylSecurityObject* descriptor) = 0;
  virtual uint64_t RYL_THISCALL GetSize() = 0;
  // The native file-attribute bits; the high half is 0.
  virtual uint64_t RYL_THISCALL GetAttributes() = 0;
  // Reads owner, group, discretionary list and label into the object through
  // its SetFromSelfRelative slot.
  virtual ResultCode RYL_THISCALL ReadSecurityInto(RylSecurityObject* descriptor) = 0;
  // Writes the parts the object holds to the entry's file.
  virtual ResultCode RYL_THISCALL WriteSecurity(RylSecurityObject* descriptor) = 0;
};

// The enumerator delivered by FileSystemService slots 3 and 4 (type 4,
// highest version 1); it lives where the receiver's allocator says.
RYL_INTERFACE HostDirectoryEnumerator {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // A new entry (type 5, version at most 2) for the current entry, delivered
  // to the receiver; RYL_E_NO_MORE_ITEMS when there is none.
  virtual ResultCode RYL_THISCALL GetEntry(const ObjectReceiver* receiver) = 0;
  virtual ResultCode RYL_THISCALL MoveNext() = 0;
  // Back to the first entry, unless the enumerator stands on it since its last
  // start; RYL_OK on an entry, RYL_S_NO_MORE_ITEMS when the listing is empty.
  virtual ResultCode RYL_THISCALL Start() = 0;
};

// The enumerator object of FileSystemService slots 1, 2, 6 and 7. It lives on
// the process's default heap and carries two tables of the same four
// operations: slots 1 and 2 hand out the first, slots 6 and 7 the second.
// Destroy through either table frees the whole object.
RYL_INTERFACE DirectoryEnumerator {
  virtual void RYL_THISCALL Destroy() = 0;
  // Lends out an entry object owned by the enumerator, refilled by every call
  // and valid until the next one or Destroy; RYL_E_NO_MORE_ITEMS and
  // *outEntry untouched when there is no current entry.
  virtual ResultCode RYL_THISCALL GetEntry(DirectoryEntry** outEntry) = 0;
  virtual ResultCode RYL_THISCALL MoveNext() = 0;
  virtual ResultCode RYL_THISCALL Start() = 0;
};

RYL_INTERFACE DirectoryEnumerator2 {
  virtual void RYL_THISCALL Destroy() = 0;
  virtual ResultCode RYL_THISCALL GetEntry(DirectoryEntry** outEntry) = 0;
  virtual ResultCode RYL_THISCALL MoveNext() = 0;
  virtual ResultCode RYL_THISCALL Start() = 0;
};
