// What a key object holds: a handle (or a predefined root value), whether it
// owns it, whether the key belongs to the merged HKEY_CLASSES_ROOT view, and
// a counted reference to the context. Opening and creating below a record
// honour the merged view: opens prefer the user's classes, creates the
// machine's.
#pragma once

#include <cstdint>

#include "registry/registry_context.h"

namespace ryl::registry {

class RegKeyRecord {
 public:
  RegKeyRecord() noexcept = default;
  // Takes the context reference the caller holds.
  RegKeyRecord(RegistryContext* context, uintptr_t handle, bool ownsHandle, bool isClassesView) noexcept
      : context_(context), handle_(handle), ownsHandle_(ownsHandle), isClassesView_(isClassesView) {}
  ~RegKeyRecord() { Reset(); }
  RegKeyRecord(RegKeyRecord&& other) noexcept { *this = std::move(other); }
  RegKeyRecord& operator=(RegKeyRecord&& other) noexcept;
  RegKeyRecord(const RegKeyRecord&) = delete;
  RegKeyRecord& operator=(const RegKeyRecord&) = delete;

  // Closes an owned handle and gives the context reference back.
  void Reset() noexcept;

  RegistryContext& context() const noexcept { return *context_; }
  RegistryContext* contextPointer() const noexcept { return context_; }
  uintptr_t handle() const noexcept { return handle_; }
  KeyHandle nativeHandle() const noexcept { return reinterpret_cast<KeyHandle>(handle_); }
  bool isClassesView() const noexcept { return isClassesView_; }
  bool isRoot(uintptr_t value) const noexcept { return handle_ == value; }

 private:
  RegistryContext* context_ = nullptr;
  uintptr_t handle_ = 0;
  bool ownsHandle_ = false;
  bool isClassesView_ = false;
};

// Opens below the record (hasSubkey false: the record's own key again). Not
// found in any form is RYL_E_NOT_FOUND. The caller owns *outHandle.
[[nodiscard]] ResultCode OpenSubKeyOfRecord(const RegKeyRecord& record, KeyHandle* outHandle, const char16_t* subkey,
                                            uint32_t subkeyLength, bool hasSubkey, uint32_t access) noexcept;
// One level.
[[nodiscard]] ResultCode CreateSubKeyOfRecord(const RegKeyRecord& record, KeyHandle* outHandle,
                                              const char16_t* subkey, uint32_t subkeyLength,
                                              uint32_t access) noexcept;
// Every missing component of a path of several.
[[nodiscard]] ResultCode CreateKeyPath(const RegKeyRecord& record, KeyHandle* outHandle, const char16_t* subkey,
                                       uint32_t subkeyLength, uint32_t access) noexcept;

}  // namespace ryl::registry
