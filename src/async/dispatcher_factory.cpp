#include "async/dispatcher_factory.h"

#include "async/dispatcher.h"
#include "core/delivery.h"

namespace ryl::async {
namespace {

core::SharedInstanceSlot g_sharedDispatcher;

void* BuildShared() noexcept {
  ResultCode result = RYL_OK;
  Dispatcher* dispatcher = Dispatcher::Create(true, &result);
  return dispatcher == nullptr ? nullptr : static_cast<RylDispatcher*>(dispatcher);
}

}  // namespace

core::SharedInstanceSlot& SharedDispatcherSlot() noexcept { return g_sharedDispatcher; }

ResultCode GetSharedDispatcher(const ObjectReceiver* receiver) noexcept {
  const ResultCode version = core::CheckCreateVersion(receiver, Dispatcher::kHighestVersion);
  if (version < 0) return version;
  void* object = nullptr;
  const ResultCode acquired = g_sharedDispatcher.Acquire(&BuildShared, &Dispatcher::DestroyShared, &object);
  if (acquired < 0) return acquired;
  auto* dispatcher = static_cast<RylDispatcher*>(object);
  return core::DeliverCounted(receiver, dispatcher, [dispatcher]() noexcept { (void)dispatcher->Release(); });
}

ResultCode CreateDispatcher(const ObjectReceiver* receiver) noexcept {
  const ResultCode version = core::CheckCreateVersion(receiver, Dispatcher::kHighestVersion);
  if (version < 0) return version;
  ResultCode result = RYL_OK;
  Dispatcher* dispatcher = Dispatcher::Create(false, &result);
  if (dispatcher == nullptr) return result;
  RylDispatcher* face = dispatcher;
  return core::DeliverCounted(receiver, face, [face]() noexcept { (void)face->Release(); });
}

}  // namespace ryl::async
