// Deleting a subkey, alone or with everything below it, and through the
// merged classes view on both sides.
#include "core/entry_guard.h"
#include "registry/key_names.h"
#include "registry/registry_key.h"
#include "registry/scoped_key.h"
#include "sys/result_codes.h"

namespace ryl::registry {
namespace {

bool IsNoMoreItems(ResultCode code) noexcept {
  return code == RYL_E_NO_MORE_ITEMS || code == sys::RylCreateErrorCodeFromWin32(2, 259);
}

ResultCode DeleteOpened(RegistryContext& context, KeyHandle handle) noexcept {
  const ResultCode result = sys::RylResultFromNtStatus(context.keys().DeleteKey(handle));
  context.CloseHandle(handle);
  return result;
}

// Everything below an opened key, then the key. Children are opened as
// themselves: a child that is a symbolic link is deleted as the link, and the
// tree it points to is never entered.
ResultCode DeleteTreeOpened(RegistryContext& context, KeyHandle handle, uint32_t mask) {
  for (uint32_t index = 0;;) {
    KeyText child;
    if (ReadNameAt(context.keys(), handle, NameKind::kSubKey, index, &child) != RYL_OK) break;
    KeyHandle childHandle = nullptr;
    const int32_t status = context.keys().OpenKeyNoFollow(
        &childHandle, mask | kKeyRead | kDelete, handle, KeyName{child.data(), static_cast<uint32_t>(child.size())});
    ResultCode result = sys::RylResultFromNtStatus(status);
    if (result >= 0) result = DeleteTreeOpened(context, childHandle, mask);
    // A child that stays is stepped over; one that went lets the next move
    // into its place.
    if (result < 0 && !IsNoMoreItems(result)) ++index;
  }
  return DeleteOpened(context, handle);
}

ResultCode DeleteBelow(RegistryContext& context, uintptr_t parent, const char16_t* name, uint32_t length,
                       bool recursive, uint32_t access) {
  KeyHandle handle = nullptr;
  const uint32_t rights = recursive ? kKeyRead | kDelete : kDelete;
  ResultCode result = context.OpenKey(parent, &handle, name, length, true, access | rights, nullptr);
  if (result < 0) return result;
  if (!recursive) return DeleteOpened(context, handle);
  return DeleteTreeOpened(context, handle, access & 0x0FFFFFFFu & ~(kView32 | kView64));
}

}  // namespace

ResultCode RYL_THISCALL RegistryKey::DeleteSubKey(const RylChar16* name, uint32_t nameLength, uint8_t recursive,
                                                  uint32_t access) {
  if (name == nullptr) return RYL_E_INVALID_ARG;
  const ResultCode keyDeleted = sys::RylCreateErrorCodeFromWin32(3, 1018);
  return core::GuardEntry([&]() -> ResultCode {
    RegistryContext& context = record_.context();
    ResultCode result = RYL_OK;
    if (!record_.isClassesView()) {
      result = DeleteBelow(context, record_.handle(), Units(name), nameLength, recursive != 0, access);
      return result == keyDeleted ? RYL_OK : result;
    }
    ClassesPath side;
    if (record_.isRoot(kClassesRoot)) {
      side.path = u"SOFTWARE\\CLASSES";
      side.isMachine = true;
    } else {
      result = context.GetClassesRelativePath(record_.handle(), &side);
      if (result < 0) return result;
    }
    KeyHandle other = nullptr;
    result = context.OpenKey(side.isMachine ? kCurrentUser : kLocalMachine, &other, side.path.data(),
                             static_cast<uint32_t>(side.path.size()), true, access | kDelete, nullptr);
    if (result < 0 && result != RYL_E_NOT_FOUND && result != RYL_E_FILE_NOT_FOUND &&
        result != RYL_E_PATH_NOT_FOUND) {
      return result;
    }
    ScopedKey counterpart(context);
    if (result >= 0) counterpart.Reset(other, true);
    const uintptr_t self = record_.handle();
    const bool hasMachine = side.isMachine || counterpart;
    const bool hasUser = !side.isMachine || counterpart;
    const uintptr_t machine = side.isMachine ? self : reinterpret_cast<uintptr_t>(counterpart.get());
    const uintptr_t user = side.isMachine ? reinterpret_cast<uintptr_t>(counterpart.get()) : self;

    ResultCode machineResult = RYL_E_NOT_FOUND;
    result = RYL_OK;
    if (hasMachine) {
      machineResult = DeleteBelow(context, machine, Units(name), nameLength, recursive != 0, access);
      result = machineResult;
    }
    if (hasUser && (!hasMachine || machineResult >= 0 || machineResult == RYL_E_FILE_NOT_FOUND ||
                    machineResult == RYL_E_PATH_NOT_FOUND)) {
      result = DeleteBelow(context, user, Units(name), nameLength, recursive != 0, access);
      if (result == RYL_E_FILE_NOT_FOUND && hasMachine && machineResult >= 0) result = RYL_OK;
    }
    if (result == RYL_E_PATH_NOT_FOUND || result == keyDeleted) result = RYL_OK;
    return result;
  });
}

}  // namespace ryl::registry
