// What the host-view benchmarks share: the root object and the receiver
// that stores a created object's pointer, and a plain byte OutputBuffer.
#pragma once

#include <cstdint>
#include <vector>

#include "ryl/ryl.h"

namespace ryl::bench {

// The root, started once; null when the module does not start.
inline RootFactory* StartRoot() {
  if (RylModuleInit() < 0) return nullptr;
  void* root = nullptr;
  if (GetRylObject(kRylRootInterfaceId, &root) < 0) return nullptr;
  return static_cast<RootFactory*>(root);
}

inline const RylReceiverCallbacks kStorePointer = {1, [](void* object, void* context) -> ResultCode {
                                                     *static_cast<void**>(context) = object;
                                                     return RYL_OK;
                                                   }};

// A receiver that stores into *slot.
template <typename T>
ObjectReceiver StoreInto(T** slot) {
  return ObjectReceiver{&kStorePointer, reinterpret_cast<void**>(slot), 2, {nullptr, nullptr}};
}

// Bytes over a vector that only grows, as a host reusing one buffer keeps it.
struct ByteOutput {
  OutputBuffer record;
  std::vector<uint8_t> storage;

  ByteOutput() { record = {&kTable, this, {nullptr, 0}}; }
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<ByteOutput*>(context);
    if (length > self->storage.size()) self->storage.resize(length);
    view->data = self->storage.data();
    view->length = length;
    return RYL_OK;
  }
  static constexpr RylOutputBufferCallbacks kTable = {1, Resize, nullptr, nullptr, nullptr};
};

}  // namespace ryl::bench
