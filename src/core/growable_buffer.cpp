#include "core/growable_buffer.h"

#include <cstring>
#include <utility>

#include "sys/heap.h"

namespace ryl::core {
namespace {

ResultCode Grow(GrowableStorage* storage, uint32_t needed) noexcept {
  if (needed <= storage->capacity) return RYL_OK;
  uint64_t capacity = storage->capacity < 16 ? 16 : storage->capacity;
  while (capacity < needed) capacity *= 2;
  if (capacity > UINT32_MAX) capacity = needed;
  const uint64_t bytes = capacity * storage->elementSize;
  if (bytes > 0x7FFFFFFFu) return RYL_E_OUT_OF_MEMORY;
  void* data = sys::DefaultHeapReallocate(storage->data, static_cast<size_t>(bytes));
  if (data == nullptr) return RYL_E_OUT_OF_MEMORY;
  storage->data = data;
  storage->capacity = static_cast<uint32_t>(capacity);
  return RYL_OK;
}

ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t newLength, void* context) {
  auto* storage = static_cast<GrowableStorage*>(context);
  const ResultCode grown = Grow(storage, newLength);
  if (grown < 0) return grown;
  view->data = storage->data;
  view->length = newLength;
  return RYL_OK;
}

ResultCode RYL_CDECL Reserve(RylBufferView* view, uint32_t capacity, void* context) {
  auto* storage = static_cast<GrowableStorage*>(context);
  const ResultCode grown = Grow(storage, capacity);
  if (grown < 0) return grown;
  view->data = storage->data;
  return RYL_OK;
}

uint32_t RYL_CDECL Capacity(uint8_t* canGrow, void* context) {
  if (canGrow != nullptr) *canGrow = 1;
  return static_cast<GrowableStorage*>(context)->capacity;
}

template <const RylOutputBufferCallbacks* (*Self)()>
ResultCode RYL_CDECL Swap(RylBufferView* view, const RylOutputBufferCallbacks* otherCallbacks, void* otherContext,
                          RylBufferView* otherView, void* context) {
  if (otherCallbacks != Self()) return RYL_E_UNSUPPORTED_VERSION;
  auto* mine = static_cast<GrowableStorage*>(context);
  auto* theirs = static_cast<GrowableStorage*>(otherContext);
  std::swap(*mine, *theirs);
  std::swap(*view, *otherView);
  return RYL_OK;
}

const RylOutputBufferCallbacks kByteCallbacks = {2, Resize, Reserve, Swap<ByteBufferCallbacks>, Capacity};
const RylOutputBufferCallbacks kUtf16Callbacks = {2, Resize, Reserve, Swap<Utf16BufferCallbacks>, Capacity};

}  // namespace

const RylOutputBufferCallbacks* ByteBufferCallbacks() noexcept { return &kByteCallbacks; }
const RylOutputBufferCallbacks* Utf16BufferCallbacks() noexcept { return &kUtf16Callbacks; }

void ReleaseGrowableStorage(GrowableStorage* storage) noexcept {
  sys::DefaultHeapFree(storage->data);
  storage->data = nullptr;
  storage->capacity = 0;
}

}  // namespace ryl::core
