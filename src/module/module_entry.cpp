#include "module/module_entry.h"

#include <cstring>

#include "core/delivery.h"
#include "module/root_factory.h"
#include "sys/environment.h"
#include "sys/sys_module.h"

namespace ryl::module {
namespace {

constexpr uint8_t kVersionedPrefix[12] = {0xB8, 0x55, 0xDE, 0xB4, 0xE9, 0x71, 0x45, 0x77, 0x90, 0x46, 0x99, 0x91};
constexpr uint8_t kFixedId[16] = {0x89, 0x1B, 0xBB, 0x00, 0x97, 0xDC, 0x41, 0x9F,
                                  0x96, 0x71, 0xA2, 0x12, 0x33, 0x37, 0xDE, 0x83};
constexpr uint32_t kHighestModuleInterfaceVersion = 10;

ResultCode RYL_CDECL StoreIntoContext(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

constexpr RylReceiverCallbacks kStoreReceiver = {1, StoreIntoContext};

}  // namespace

ResultCode ModuleInit() noexcept {
  const ResultCode sys = sys::InternalInitializeRylSysDll();
  if (sys < 0) return sys;
  const ResultCode environment = sys::RylEnvironment::InitializeEnvironment();
  if (environment < 0) {
    sys::InternalDestroyRylSysDll();
    return environment;
  }
  return RYL_OK;
}

ResultCode ModuleFinish() noexcept {
  sys::RylEnvironment::DestroyEnvironment();
  sys::InternalDestroyRylSysDll();
  return RYL_OK;
}

ResultCode CheckInterfaceId(const RylInterfaceId& id) noexcept {
  if (std::memcmp(id.bytes, kVersionedPrefix, sizeof kVersionedPrefix) == 0) {
    const uint32_t version = (uint32_t{id.bytes[12]} << 24) | (uint32_t{id.bytes[13]} << 16) |
                             (uint32_t{id.bytes[14]} << 8) | uint32_t{id.bytes[15]};
    return version <= kHighestModuleInterfaceVersion ? RYL_OK : RYL_E_UNSUPPORTED_VERSION;
  }
  return std::memcmp(id.bytes, kFixedId, sizeof kFixedId) == 0 ? RYL_OK : RYL_E_UNSUPPORTED_VERSION;
}

ResultCode GetRootObject(const RylInterfaceId& id, void** outObject) noexcept {
  const ResultCode accepted = CheckInterfaceId(id);
  if (accepted < 0) return accepted;
  // Without somewhere to put it the reference would be lost; refuse before
  // taking one.
  if (outObject == nullptr) return RYL_E_INVALID_ARG;

  void* object = nullptr;
  core::SharedInstanceSlot& slot = TheModule().rootSlot;
  const ResultCode acquired = slot.Acquire(&RootObject::Build, &RootObject::DestroyObject, &object);
  if (acquired < 0) return acquired;

  auto* root = static_cast<RootFactory*>(object);
  const ObjectReceiver receiver = {&kStoreReceiver, outObject, 0, {nullptr, nullptr}};
  return core::DeliverCounted(&receiver, root, [root]() noexcept { root->Release(); });
}

}  // namespace ryl::module
