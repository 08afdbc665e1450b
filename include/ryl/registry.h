// Registry keys on the native key layer: the predefined roots, the 32- and
// 64-bit views, the merged HKEY_CLASSES_ROOT view, values, subkeys,
// enumeration, hives and change notification.
//
// Key objects and enumerators are handed out as a two-pointer record: the
// interface and a counted control block. Release a record with
// RylSharedRelease (or as std::shared_ptr's control block is released: the
// layout is the same).
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

#if defined(_MSC_VER)
#include <intrin.h>  // _InterlockedDecrement, for RylSharedRelease
#endif

// Access-word bits above the native access mask.
#define RYL_KEY_CREATE_NUL_NAME 0x10000000u
#define RYL_KEY_TRANSLATE_WOW64_NODE 0x20000000u
#define RYL_KEY_WOW64_64KEY 0x100u
#define RYL_KEY_WOW64_32KEY 0x200u

// Indexes of OpenRegistryRoot.
#define RYL_ROOT_CLASSES_ROOT 0u
#define RYL_ROOT_CURRENT_USER 1u
#define RYL_ROOT_LOCAL_MACHINE 2u
#define RYL_ROOT_USERS 3u
#define RYL_ROOT_PERFORMANCE_DATA 4u
#define RYL_ROOT_PERFORMANCE_TEXT 5u
#define RYL_ROOT_PERFORMANCE_NLSTEXT 6u
#define RYL_ROOT_CURRENT_CONFIG 7u
#define RYL_ROOT_DYN_DATA 8u

// Value types, as the registry stores them.
#define RYL_REG_NONE 0u
#define RYL_REG_SZ 1u
#define RYL_REG_EXPAND_SZ 2u
#define RYL_REG_BINARY 3u
#define RYL_REG_DWORD 4u
#define RYL_REG_DWORD_BIG_ENDIAN 5u
#define RYL_REG_LINK 6u
#define RYL_REG_MULTI_SZ 7u
#define RYL_REG_QWORD 11u

struct RylRegistryKeyInfo {
  uint32_t subKeyCount;
  uint32_t longestSubKeyName;  // bytes
  uint32_t longestClassName;
  uint32_t valueCount;
  uint32_t longestValueName;
  uint32_t longestValueData;
  uint64_t lastWriteTime;  // the library's time format
};

#if defined(__cplusplus) && RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(RylRegistryKeyInfo) == 32 && offsetof(RylRegistryKeyInfo, lastWriteTime) == 24,
              "key information record");
#endif

#if defined(__cplusplus)

struct RylWaitable;

// The control block of a handed-out object: a use count and a weak count.
// The last use disposes of the object (a key closes its handle); the last
// weak reference, which the uses hold together, frees the block.
RYL_INTERFACE RylSharedControl {
  virtual void RYL_THISCALL Dispose() = 0;
  virtual void RYL_THISCALL DeleteThis() = 0;
  int32_t uses;
  int32_t weaks;
};

struct RylRegistryKey;
struct RylKeyEnumerator;

struct RylKeyHolder {
  RylRegistryKey* key;
  RylSharedControl* control;
};

struct RylEnumeratorHolder {
  RylKeyEnumerator* enumerator;
  RylSharedControl* control;
};

#if RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(RylKeyHolder) == 8 && sizeof(RylEnumeratorHolder) == 8, "two-pointer records");
#endif

// Gives back one use of a handed-out object and empties the record's control
// pointer (the interface pointer is left for the caller to clear).
inline void RylSharedRelease(RylSharedControl** control) {
  RylSharedControl* block = *control;
  if (block == nullptr) return;
  *control = nullptr;
#if defined(_MSC_VER)
  if (_InterlockedDecrement(reinterpret_cast<volatile long*>(&block->uses)) == 0) {
    block->Dispose();
    if (_InterlockedDecrement(reinterpret_cast<volatile long*>(&block->weaks)) == 0) block->DeleteThis();
  }
#else
  if (__atomic_sub_fetch(&block->uses, 1, __ATOMIC_ACQ_REL) == 0) {
    block->Dispose();
    if (__atomic_sub_fetch(&block->weaks, 1, __ATOMIC_ACQ_REL) == 0) block->DeleteThis();
  }
#endif
}

// Subkey or value names, positioned on the first item when handed out.
// MoveNext and Reset answer RYL_S_NO_MORE_ITEMS where there is no item;
// GetCurrent there fails with RYL_E_NO_MORE_ITEMS.
RYL_INTERFACE RylKeyEnumerator {
  virtual void RYL_THISCALL Destroy() = 0;  // the control block's
  virtual ResultCode RYL_THISCALL GetCurrent(OutputBuffer* name) = 0;
  virtual ResultCode RYL_THISCALL MoveNext() = 0;
  virtual ResultCode RYL_THISCALL Reset() = 0;
};

// Names are a pointer and a length in UTF-16 units; only that many units are
// read. A failing producing operation leaves the holder as it was; one that
// succeeds releases what the holder held before.
RYL_INTERFACE RylRegistryKey {
  // Types 54, 55 and 56 below version 2; *outSupported tells whether the
  // type was answered.
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) = 0;
  virtual ResultCode RYL_THISCALL OpenSubKey(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                             uint32_t access) = 0;
  virtual ResultCode RYL_THISCALL CreateSubKey(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                               uint32_t access) = 0;
  virtual ResultCode RYL_THISCALL CreateSubKeyPath(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                                   uint32_t access) = 0;
  virtual ResultCode RYL_THISCALL GetName(OutputBuffer* name) = 0;
  virtual ResultCode RYL_THISCALL EnumerateValues(RylEnumeratorHolder* out) = 0;
  virtual ResultCode RYL_THISCALL EnumerateSubKeys(RylEnumeratorHolder* out) = 0;
  virtual ResultCode RYL_THISCALL DeleteSubKey(const RylChar16* name, uint32_t nameLength, uint8_t recursive,
                                               uint32_t access) = 0;
  virtual ResultCode RYL_THISCALL ValueExists(uint8_t* outExists, const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL SetValue(uint32_t type, const void* data, uint32_t size, const RylChar16* name,
                                           uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL QueryValue(uint32_t* outType, OutputBuffer* data, const RylChar16* name,
                                             uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL DeleteValue(const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL QueryInfo(RylRegistryKeyInfo* out) = 0;
};

// The same key, as a hive. The caller's token must hold the privileges the
// system asks for.
RYL_INTERFACE RylRegistryHive {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) = 0;
  virtual ResultCode RYL_THISCALL Restore(const RylChar16* path) = 0;  // NUL-terminated
  virtual ResultCode RYL_THISCALL Save(const RylChar16* path, uint32_t pathLength) = 0;
  virtual ResultCode RYL_THISCALL Load(const RylChar16* path, uint32_t pathLength, const RylChar16* name,
                                       uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL Unload(const RylChar16* name, uint32_t nameLength) = 0;
};

// A watcher's waitable is signalled when the key (or its subtree) changed;
// Rearm asks for the next change.
RYL_INTERFACE RylRegistryWatcher {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy() = 0;
  virtual RylWaitable* RYL_THISCALL GetWaitable() = 0;
  virtual ResultCode RYL_THISCALL Rearm() = 0;
};

RYL_INTERFACE RylRegistryWatch {
  virtual ResultCode RYL_THISCALL CreateWatcher(const ObjectReceiver* receiver, uint8_t watchSubtree) = 0;
};

#endif  // __cplusplus
