// The native key calls the registry service is built on, as an interface:
// the module implements it over ntdll's Zw calls; tests implement it over an
// in-memory tree, so that the view and classes rules run on any host.
// Results are native statuses; buffers use the native information layouts.
#pragma once

#include <cstdint>

#include "ryl/platform.h"
#include "ryl/result.h"

namespace ryl::registry {

using KeyHandle = void*;

// A counted name in UTF-16 units (the native counted string gets twice the
// count, capped at 0xFFFC bytes). An empty name names the root itself.
struct KeyName {
  const char16_t* text = nullptr;
  uint32_t length = 0;
};

// Native statuses the service tests for.
inline constexpr int32_t kStatusSuccess = 0;
inline constexpr int32_t kStatusBufferOverflow = static_cast<int32_t>(0x80000005u);
inline constexpr int32_t kStatusNoMoreEntries = static_cast<int32_t>(0x8000001Au);
inline constexpr int32_t kStatusBufferTooSmall = static_cast<int32_t>(0xC0000023u);
inline constexpr int32_t kStatusObjectNameNotFound = static_cast<int32_t>(0xC0000034u);

// Information classes.
inline constexpr uint32_t kKeyBasicInformation = 0;
inline constexpr uint32_t kKeyNodeInformation = 1;
inline constexpr uint32_t kKeyFullInformation = 2;
inline constexpr uint32_t kKeyNameInformation = 3;
inline constexpr uint32_t kKeyValueFullInformation = 1;
inline constexpr uint32_t kKeyValuePartialInformation = 2;

// Fixed parts of the native records: the name (or data) follows.
inline constexpr uint32_t kKeyNodeHeader = 24;          // last write, title, class offset/length, name length
inline constexpr uint32_t kKeyValueFullHeader = 20;     // title, type, data offset, data length, name length
inline constexpr uint32_t kKeyValuePartialHeader = 12;  // title, type, data length
inline constexpr uint32_t kKeyFullHeader = 44;          // through MaxValueDataLen

class NativeKeys {
 public:
  virtual int32_t OpenKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept = 0;
  // The key itself when it is a symbolic link, not what it links to.
  virtual int32_t OpenKeyNoFollow(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept = 0;
  virtual int32_t OpenKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                                    void* transaction) noexcept = 0;
  virtual int32_t CreateKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept = 0;
  virtual int32_t CreateKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                                      void* transaction) noexcept = 0;
  virtual int32_t OpenCurrentUser(uint32_t access, KeyHandle* out) noexcept = 0;
  virtual int32_t QueryKey(KeyHandle key, uint32_t infoClass, void* buffer, uint32_t length,
                           uint32_t* outLength) noexcept = 0;
  virtual int32_t EnumerateKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer, uint32_t length,
                               uint32_t* outLength) noexcept = 0;
  virtual int32_t EnumerateValueKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer,
                                    uint32_t length, uint32_t* outLength) noexcept = 0;
  virtual int32_t QueryValueKey(KeyHandle key, KeyName name, uint32_t infoClass, void* buffer, uint32_t length,
                                uint32_t* outLength) noexcept = 0;
  virtual int32_t SetValueKey(KeyHandle key, KeyName name, uint32_t type, const void* data,
                              uint32_t size) noexcept = 0;
  virtual int32_t DeleteValueKey(KeyHandle key, KeyName name) noexcept = 0;
  virtual int32_t DeleteKey(KeyHandle key) noexcept = 0;
  virtual int32_t Close(KeyHandle key) noexcept = 0;
  // Arms an asynchronous change notification that signals event.
  virtual int32_t NotifyChangeKey(KeyHandle key, void* event, bool watchSubtree) noexcept = 0;
  // Hives: paths are DOS paths, as the host gave them. Saving goes through
  // a temporary file beside the target, which involves the file system, so
  // it answers a result code rather than a status.
  virtual ResultCode SaveKeyThroughTemporary(KeyHandle key, const char16_t* path, uint32_t pathLength) noexcept = 0;
  virtual int32_t LoadKey(KeyHandle root, KeyName name, const char16_t* path, uint32_t pathLength) noexcept = 0;
  virtual int32_t UnloadKey(KeyHandle root, KeyName name) noexcept = 0;
  virtual int32_t RestoreKey(KeyHandle key, const char16_t* path) noexcept = 0;

 protected:
  ~NativeKeys() = default;
};

}  // namespace ryl::registry
