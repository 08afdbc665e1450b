#include "registry/registry_key.h"

#include <cstring>

#include "core/entry_guard.h"
#include "core/output_writer.h"
#include "registry/scoped_key.h"
#include "registry/shared_block.h"
#include "sys/dos_time.h"
#include "sys/result_codes.h"

namespace ryl::registry {

ResultCode RegistryKey::HandOut(RylKeyHolder* holder, RegKeyRecord record) noexcept {
  if (holder == nullptr) return RYL_E_INVALID_ARG;
  auto* block = SharedBlock<RegistryKey>::Create(std::move(record));
  if (block == nullptr) return RYL_E_OUT_OF_MEMORY;
  FillHolder(holder, static_cast<RylRegistryKey*>(block->object()), block);
  return RYL_OK;
}

ResultCode OpenRegistryRoot(RylKeyHolder* holder, uint32_t index, RegistryContext* context) noexcept {
  if (index >= kRootCount) {
    if (context != nullptr) context->Release();
    return RYL_E_INVALID_ARG;
  }
  if (context == nullptr) return RYL_E_OUT_OF_MEMORY;
  return RegistryKey::HandOut(holder, RegKeyRecord(context, RootValueOfIndex(index), false, index == 0));
}

void* RYL_THISCALL RegistryKey::Query(uint32_t type, uint32_t version, uint8_t* outSupported) {
  void* answer = nullptr;
  if (version < 2) {
    if (type == RYL_TYPE_REGISTRY_KEY) answer = static_cast<RylRegistryKey*>(this);
    if (type == RYL_TYPE_REGISTRY_HIVE) answer = static_cast<RylRegistryHive*>(this);
    if (type == RYL_TYPE_REGISTRY_WATCH) answer = static_cast<RylRegistryWatch*>(this);
  }
  if (outSupported != nullptr) *outSupported = answer != nullptr ? 1 : 0;
  return answer;
}

ResultCode RegistryKey::Resolve(KeyHandle* outHandle, bool* outOwned) const noexcept {
  return record_.context().ResolveRoot(record_.handle(), outHandle, outOwned);
}

ResultCode RegistryKey::ResolveInto(ScopedKey* key) const noexcept {
  KeyHandle handle = nullptr;
  bool owned = false;
  const ResultCode result = Resolve(&handle, &owned);
  if (result >= 0) key->Reset(handle, owned);
  return result;
}

ResultCode RegistryKey::Produce(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength, uint32_t access,
                                Producer producer) noexcept {
  if (out == nullptr || (name == nullptr && nameLength != 0)) return RYL_E_INVALID_ARG;
  KeyHandle handle = nullptr;
  const ResultCode result = producer(record_, &handle, Units(name), nameLength, access);
  if (result < 0) return result;
  record_.context().AddRef();
  return HandOut(out, RegKeyRecord(record_.contextPointer(), reinterpret_cast<uintptr_t>(handle), true,
                                   record_.isClassesView()));
}

ResultCode RYL_THISCALL RegistryKey::OpenSubKey(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                                uint32_t access) {
  return Produce(out, name, nameLength, access,
                 [](const RegKeyRecord& r, KeyHandle* h, const char16_t* n, uint32_t l, uint32_t a) noexcept {
                   return OpenSubKeyOfRecord(r, h, n, l, n != nullptr, a);
                 });
}

ResultCode RYL_THISCALL RegistryKey::CreateSubKey(RylKeyHolder* out, const RylChar16* name, uint32_t nameLength,
                                                  uint32_t access) {
  if (name == nullptr) return RYL_E_INVALID_ARG;
  return Produce(out, name, nameLength, access, &CreateSubKeyOfRecord);
}

ResultCode RYL_THISCALL RegistryKey::CreateSubKeyPath(RylKeyHolder* out, const RylChar16* name,
                                                      uint32_t nameLength, uint32_t access) {
  if (name == nullptr) return RYL_E_INVALID_ARG;
  return Produce(out, name, nameLength, access, &CreateKeyPath);
}

ResultCode RYL_THISCALL RegistryKey::GetName(OutputBuffer* name) {
  return core::GuardEntry([&]() -> ResultCode {
    KeyText text;
    const ResultCode result = record_.context().QueryKeyPath(record_.handle(), &text);
    if (result < 0) return result;
    return core::WriteOutput(name, text.data(), static_cast<uint32_t>(text.size()));
  });
}

ResultCode RYL_THISCALL RegistryKey::QueryInfo(RylRegistryKeyInfo* out) {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  ScopedKey key(record_.context());
  ResultCode result = ResolveInto(&key);
  if (result < 0) return result;
  KeyHandle handle = key.get();
  return core::GuardEntry([&]() -> ResultCode {
    alignas(8) uint8_t local[256];
    std::vector<uint8_t> heap;
    uint8_t* buffer = local;
    uint32_t needed = 0;
    NativeKeys& keys = record_.context().keys();
    int32_t status = keys.QueryKey(handle, kKeyFullInformation, buffer, sizeof local, &needed);
    if ((status == kStatusBufferOverflow || status == kStatusBufferTooSmall) && needed > sizeof local &&
        needed <= (1u << 20)) {
      heap.resize(needed);
      buffer = heap.data();
      status = keys.QueryKey(handle, kKeyFullInformation, buffer, needed, &needed);
    }
    if (status != kStatusSuccess) return sys::RylResultFromNtStatus(status);
    uint32_t words[6];
    std::memcpy(words, buffer + 20, sizeof words);
    uint32_t time[2];
    std::memcpy(time, buffer, sizeof time);
    RylRegistryKeyInfo info{};
    info.subKeyCount = words[0];
    info.longestSubKeyName = words[1];
    info.longestClassName = words[2];
    info.valueCount = words[3];
    info.longestValueName = words[4];
    info.longestValueData = words[5];
    const ResultCode converted = sys::RylConvertWin32FileTimeToRylTime(&info.lastWriteTime, time[0], time[1]);
    if (converted < 0) return converted;
    *out = info;
    return RYL_OK;
  });
}

// --- Hives ---------------------------------------------------------------------

ResultCode RYL_THISCALL RegistryKey::Restore(const RylChar16* path) {
  if (path == nullptr) return RYL_E_INVALID_ARG;
  ScopedKey key(record_.context());
  const ResultCode result = ResolveInto(&key);
  if (result < 0) return result;
  KeyHandle handle = key.get();
  return sys::RylResultFromNtStatus(record_.context().keys().RestoreKey(handle, Units(path)));
}

ResultCode RYL_THISCALL RegistryKey::Save(const RylChar16* path, uint32_t pathLength) {
  if (path == nullptr || pathLength == 0) return RYL_E_INVALID_ARG;
  ScopedKey key(record_.context());
  const ResultCode result = ResolveInto(&key);
  if (result < 0) return result;
  KeyHandle handle = key.get();
  return record_.context().keys().SaveKeyThroughTemporary(handle, Units(path), pathLength);
}

ResultCode RYL_THISCALL RegistryKey::Load(const RylChar16* path, uint32_t pathLength, const RylChar16* name,
                                          uint32_t nameLength) {
  if (path == nullptr || pathLength == 0 || name == nullptr) return RYL_E_INVALID_ARG;
  ScopedKey key(record_.context());
  const ResultCode result = ResolveInto(&key);
  if (result < 0) return result;
  KeyHandle handle = key.get();
  return sys::RylResultFromNtStatus(
      record_.context().keys().LoadKey(handle, NameArgument(name, nameLength), Units(path), pathLength));
}

ResultCode RYL_THISCALL RegistryKey::Unload(const RylChar16* name, uint32_t nameLength) {
  if (name == nullptr) return RYL_E_INVALID_ARG;
  KeyHandle handle = nullptr;
  const ResultCode result = record_.context().OpenKey(record_.handle(), &handle, nullptr, 0, false, kKeyAllAccess,
                                                      nullptr);
  if (result < 0) return result;
  ScopedKey key(record_.context());
  key.Reset(handle, true);
  return sys::RylResultFromNtStatus(record_.context().keys().UnloadKey(handle, NameArgument(name, nameLength)));
}

}  // namespace ryl::registry
