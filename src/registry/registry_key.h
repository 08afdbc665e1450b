// The key object: the key (type 54), hive (55) and watch (56) interfaces
// over one key record, handed out in a shared block.
#pragma once

#include <cstdint>

#include "registry/key_names.h"
#include "registry/key_record.h"
#include "registry/scoped_key.h"
#include "ryl/registry.h"

namespace ryl::registry {

class RegistryKey final : public RylRegistryKey, public RylRegistryHive, public RylRegistryWatch {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_REGISTRY_KEY;

  RegistryKey(RylSharedControl* control, RegKeyRecord record) noexcept
      : control_(control), record_(std::move(record)) {}

  // A new key object in *holder (what it held is released); the record's
  // context reference and handle pass to the object. On failure the record
  // is reset and the holder left as it was.
  [[nodiscard]] static ResultCode HandOut(RylKeyHolder* holder, RegKeyRecord record) noexcept;

  // Key interface.
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) override;
  ResultCode RYL_THISCALL OpenSubKey(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                     uint32_t access) override;
  ResultCode RYL_THISCALL CreateSubKey(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                       uint32_t access) override;
  ResultCode RYL_THISCALL CreateSubKeyPath(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                           uint32_t access) override;
  ResultCode RYL_THISCALL GetName(OutputBuffer* name) override;
  ResultCode RYL_THISCALL EnumerateValues(RylEnumeratorHolder* out) override;
  ResultCode RYL_THISCALL EnumerateSubKeys(RylEnumeratorHolder* out) override;
  ResultCode RYL_THISCALL DeleteSubKey(const RylChar16* name, uint32_t nameLength, uint8_t recursive,
                                       uint32_t access) override;
  ResultCode RYL_THISCALL ValueExists(uint8_t* outExists, const RylChar16* name, uint32_t nameLength) override;
  ResultCode RYL_THISCALL SetValue(uint32_t type, const void* data, uint32_t size, const RylChar16* name,
                                   uint32_t nameLength) override;
  ResultCode RYL_THISCALL QueryValue(uint32_t* outType, OutputBuffer* data, const RylChar16* name,
                                     uint32_t nameLength) override;
  ResultCode RYL_THISCALL DeleteValue(const RylChar16* name, uint32_t nameLength) override;
  ResultCode RYL_THISCALL QueryInfo(RylRegistryKeyInfo* out) override;

  // Hive interface.
  ResultCode RYL_THISCALL Restore(const RylChar16* path) override;
  ResultCode RYL_THISCALL Save(const RylChar16* path, uint32_t pathLength) override;
  ResultCode RYL_THISCALL Load(const RylChar16* path, uint32_t pathLength, const RylChar16* name,
                               uint32_t nameLength) override;
  ResultCode RYL_THISCALL Unload(const RylChar16* name, uint32_t nameLength) override;

  // Watch interface.
  ResultCode RYL_THISCALL CreateWatcher(const ObjectReceiver* receiver, uint8_t watchSubtree) override;

  const RegKeyRecord& record() const noexcept { return record_; }
  RylSharedControl* control() const noexcept { return control_; }

 private:
  using Producer = ResultCode (*)(const RegKeyRecord&, KeyHandle*, const char16_t*, uint32_t, uint32_t) noexcept;
  [[nodiscard]] ResultCode Produce(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength, uint32_t access,
                                   Producer producer) noexcept;
  // A handle to work on for operations that use what the record names: a
  // root value is resolved (*outOwned tells whether to close it).
  [[nodiscard]] ResultCode Resolve(KeyHandle* outHandle, bool* outOwned) const noexcept;
  // The same into a scoped key, which closes what was opened for the call.
  [[nodiscard]] ResultCode ResolveInto(ScopedKey* key) const noexcept;
  [[nodiscard]] ResultCode EnumerateNames(RylEnumeratorHolder* out, NameKind kind) noexcept;

  RylSharedControl* control_;
  RegKeyRecord record_;
};

// Opens a key object for a predefined root (index 0 to 8) into *holder.
[[nodiscard]] ResultCode OpenRegistryRoot(RylKeyHolder* holder, uint32_t index, RegistryContext* context) noexcept;

}  // namespace ryl::registry
