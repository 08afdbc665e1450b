// Values: existence, reading with string completion, writing and deleting.
// Reading and existence follow the merged classes view: a user-side key
// without the value answers from the machine's counterpart.
#include <cstring>
#include <vector>

#include "core/entry_guard.h"
#include "core/output_writer.h"
#include "registry/key_names.h"
#include "registry/registry_key.h"
#include "registry/scoped_key.h"
#include "sys/result_codes.h"

namespace ryl::registry {
namespace {

// The largest value the service reads: far beyond what the registry keeps
// in practice, small enough that a broken size cannot exhaust memory.
constexpr uint32_t kMaxValueAnswer = 256u << 20;

// Whether a value exists: 1, 0, or a failure.
ResultCode Probe(NativeKeys& keys, KeyHandle key, KeyName name, bool* outExists) noexcept {
  alignas(4) uint8_t buffer[16];
  uint32_t needed = 0;
  const int32_t status = keys.QueryValueKey(key, name, kKeyValuePartialInformation, buffer, sizeof buffer, &needed);
  if (status == kStatusSuccess || ((status == kStatusBufferOverflow || status == kStatusBufferTooSmall) && needed != 0)) {
    *outExists = true;
    return RYL_OK;
  }
  if (status == kStatusObjectNameNotFound) {
    *outExists = false;
    return RYL_OK;
  }
  return sys::RylResultFromNtStatus(status);
}

// The side of a classes-view record and its path there.
ResultCode SideOf(const RegKeyRecord& record, ClassesPath* out) noexcept {
  if (record.isRoot(kClassesRoot)) {
    out->isMachine = true;
    return RYL_OK;
  }
  return record.context().GetClassesRelativePath(record.handle(), out);
}

// Reads the whole value into data; *outType its type.
ResultCode ReadValue(NativeKeys& keys, KeyHandle key, KeyName name, uint32_t* outType, std::vector<uint8_t>* data) {
  std::vector<uint8_t> buffer(64);
  for (;;) {
    uint32_t needed = 0;
    const int32_t status =
        keys.QueryValueKey(key, name, kKeyValuePartialInformation, buffer.data(), static_cast<uint32_t>(buffer.size()), &needed);
    if (status == kStatusBufferOverflow || status == kStatusBufferTooSmall) {
      if (needed <= buffer.size() || needed > kMaxValueAnswer) return RYL_E_INVALID_DATA;
      buffer.resize(needed);
      continue;
    }
    if (status != kStatusSuccess) return sys::RylResultFromNtStatus(status);
    uint32_t header[3];
    std::memcpy(header, buffer.data(), sizeof header);
    const uint32_t length = header[2];
    if (length > buffer.size() - kKeyValuePartialHeader) return RYL_E_INVALID_DATA;
    *outType = header[1];
    data->assign(buffer.begin() + kKeyValuePartialHeader, buffer.begin() + kKeyValuePartialHeader + length);
    return RYL_OK;
  }
}

uint16_t UnitAt(const std::vector<uint8_t>& data, size_t unit) {
  return static_cast<uint16_t>(data[unit * 2] | (data[unit * 2 + 1] << 8));
}

}  // namespace

void CompleteStringValue(uint32_t type, std::vector<uint8_t>* data) {
  if (type == 1 || type == 2) {
    const size_t units = data->size() / 2;
    if (units == 0 || UnitAt(*data, units - 1) != 0) {
      data->resize(units * 2);
      data->insert(data->end(), {0, 0});
    } else {
      data->resize(units * 2);
    }
    return;
  }
  if (type == 7 && data->size() >= 4) {
    for (int added = 0; added < 2; ++added) {
      const size_t units = data->size() / 2;
      if (units >= 2 && UnitAt(*data, units - 1) == 0 && UnitAt(*data, units - 2) == 0) break;
      data->resize(units * 2);
      data->insert(data->end(), {0, 0});
    }
  }
}

ResultCode RYL_THISCALL RegistryKey::ValueExists(uint8_t* outExists, const RylChar16* name, uint32_t nameLength) {
  if (outExists == nullptr || (name == nullptr && nameLength != 0)) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    RegistryContext& context = record_.context();
    ScopedKey key(context);
    ResultCode result = ResolveInto(&key);
    if (result < 0) return result;
    KeyHandle handle = key.get();
    bool exists = false;
    result = Probe(context.keys(), handle, NameArgument(name, nameLength), &exists);
    if (result < 0) return result;
    if (!exists && record_.isClassesView()) {
      ClassesPath side;
      result = SideOf(record_, &side);
      if (result < 0) return result;
      if (!side.isMachine) {
        KeyHandle machine = nullptr;
        result = context.OpenKey(kLocalMachine, &machine, side.path.data(), static_cast<uint32_t>(side.path.size()),
                                 true, kKeyQueryValue, nullptr);
        if (result < 0) return result;
        ScopedKey counterpart(context);
        counterpart.Reset(machine, true);
        result = Probe(context.keys(), machine, NameArgument(name, nameLength), &exists);
        if (result < 0) return result;
      }
    }
    *outExists = exists ? 1 : 0;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL RegistryKey::QueryValue(uint32_t* outType, OutputBuffer* data, const RylChar16* name,
                                                uint32_t nameLength) {
  if (outType == nullptr || (name == nullptr && nameLength != 0)) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    RegistryContext& context = record_.context();
    ScopedKey key(context);
    ResultCode result = ResolveInto(&key);
    if (result < 0) return result;
    KeyHandle handle = key.get();
    ScopedKey counterpart(context);
    const KeyName valueName = NameArgument(name, nameLength);
    if (record_.isClassesView()) {
      bool exists = true;
      result = Probe(context.keys(), handle, valueName, &exists);
      ClassesPath side;
      if (result >= 0 && !exists && SideOf(record_, &side) >= 0 && !side.isMachine) {
        KeyHandle machine = nullptr;
        if (context.OpenKey(kLocalMachine, &machine, side.path.data(), static_cast<uint32_t>(side.path.size()), true,
                            kKeyQueryValue, nullptr) >= 0) {
          counterpart.Reset(machine, true);
          handle = machine;
        }
      }
    }
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
    result = ReadValue(context.keys(), handle, valueName, &type, &bytes);
    if (result < 0) return result;
    CompleteStringValue(type, &bytes);
    *outType = type;
    if (data == nullptr) return RYL_OK;
    return core::WriteOutput(data, bytes.data(), static_cast<uint32_t>(bytes.size()));
  });
}

ResultCode RYL_THISCALL RegistryKey::SetValue(uint32_t type, const void* data, uint32_t size, const RylChar16* name,
                                              uint32_t nameLength) {
  if ((data == nullptr && size != 0) || (name == nullptr && nameLength != 0)) return RYL_E_INVALID_ARG;
  ScopedKey key(record_.context());
  const ResultCode result = ResolveInto(&key);
  if (result < 0) return result;
  KeyHandle handle = key.get();
  return sys::RylResultFromNtStatus(
      record_.context().keys().SetValueKey(handle, NameArgument(name, nameLength), type, data, size));
}

ResultCode RYL_THISCALL RegistryKey::DeleteValue(const RylChar16* name, uint32_t nameLength) {
  if (name == nullptr && nameLength != 0) return RYL_E_INVALID_ARG;
  ScopedKey key(record_.context());
  const ResultCode result = ResolveInto(&key);
  if (result < 0) return result;
  KeyHandle handle = key.get();
  return sys::RylResultFromNtStatus(record_.context().keys().DeleteValueKey(handle, NameArgument(name, nameLength)));
}

}  // namespace ryl::registry
