// The creation-and-delivery protocol every factory operation follows. An
// object handed to deliver belongs to the host only once deliver succeeds;
// until then (and when deliver fails) the operation owns it and destroys it
// before returning, so a failed operation leaves the host owning nothing new
// and nothing allocated through its allocator.
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>

#include "core/entry_guard.h"
#include "core/object_memory.h"
#include "ryl/records.h"

namespace ryl::core {

enum class Placement {
  kReceiverAllocator,  // honour the receiver's allocator record
  kDefaultHeap,        // always the process's default heap
};

// Runs the destructor and returns the memory as the object's Destroy slot does.
template <typename T>
void DestroyPlainObject(T* object, const AllocatorRecord* allocator) noexcept {
  object->~T();
  FreeObjectMemory(object, allocator);
}

// The same for an object that lives on the default heap whatever its creator
// was asked, as the library's internal and handed-out objects do.
template <typename T>
void DestroyDefaultHeapObject(T* object) noexcept {
  DestroyPlainObject(object, &kDefaultHeap);
}

[[nodiscard]] inline ResultCode CallDeliver(const ObjectReceiver* receiver, void* object) noexcept {
  if (receiver->callbacks->Deliver == nullptr) return RYL_E_INVALID_ARG;
  return receiver->callbacks->Deliver(object, receiver->context);
}

// A plain object T provides:
//   static constexpr uint32_t kHighestVersion;
//   a noexcept default constructor (its table and empty fields);
//   void* DeliveredInterface() noexcept, the interface the host receives.
// init(T&) -> ResultCode sets the object up from the operation's arguments.
template <typename T, typename Init>
[[nodiscard]] ResultCode CreateAndDeliver(const ObjectReceiver* receiver, Placement placement, Init&& init) noexcept {
  static_assert(std::is_nothrow_default_constructible_v<T>, "construction must not fail after allocation");
  if (receiver == nullptr || receiver->callbacks == nullptr) return RYL_E_INVALID_ARG;
  if (receiver->requestedVersion > T::kHighestVersion) return RYL_E_UNSUPPORTED_VERSION;

  const AllocatorRecord allocator =
      placement == Placement::kReceiverAllocator ? receiver->allocator : kDefaultHeap;
  void* memory = nullptr;
  const ResultCode allocated = AllocateObjectMemory(&memory, sizeof(T), &allocator);
  if (allocated < 0) return allocated;

  T* object = ::new (memory) T();
  const ResultCode initialised = GuardEntry([&]() -> ResultCode { return init(*object); });
  if (initialised < 0) {
    DestroyPlainObject(object, &allocator);
    return initialised;
  }
  const ResultCode delivered = CallDeliver(receiver, object->DeliveredInterface());
  if (delivered < 0) {
    DestroyPlainObject(object, &allocator);
    return delivered;
  }
  return RYL_OK;
}

// Version check alone, for operations whose object is not built yet: the
// receiver still learns about an unsupported version first.
[[nodiscard]] inline ResultCode CheckCreateVersion(const ObjectReceiver* receiver, uint32_t highestVersion) noexcept {
  if (receiver == nullptr || receiver->callbacks == nullptr) return RYL_E_INVALID_ARG;
  if (receiver->requestedVersion > highestVersion) return RYL_E_UNSUPPORTED_VERSION;
  return RYL_OK;
}

// An interface that lives inside another object (the root's services): no
// object is created and no reference is taken. Too high a version is an
// invalid argument here, not an unsupported version.
[[nodiscard]] inline ResultCode DeliverEmbedded(const ObjectReceiver* receiver, void* interfacePointer,
                                                uint32_t highestVersion) noexcept {
  if (receiver == nullptr || receiver->callbacks == nullptr) return RYL_E_INVALID_ARG;
  if (receiver->requestedVersion > highestVersion) return RYL_E_INVALID_ARG;
  return CallDeliver(receiver, interfacePointer);
}

// A reference-counted object is handed over with the one reference the caller
// took for it; a refused delivery gives that reference back.
template <typename Release>
[[nodiscard]] ResultCode DeliverCounted(const ObjectReceiver* receiver, void* interfacePointer,
                                        Release&& release) noexcept {
  const ResultCode delivered = CallDeliver(receiver, interfacePointer);
  if (delivered < 0) release();
  return delivered;
}

}  // namespace ryl::core
