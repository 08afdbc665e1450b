#include "core/object_memory.h"

#include <cstdint>

#include "sys/heap.h"

namespace ryl::core {

ResultCode AllocateObjectMemory(void** out, size_t size, const AllocatorRecord* allocator) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  if (allocator != nullptr && allocator->callbacks != nullptr) {
    if (allocator->callbacks->Allocate == nullptr) return RYL_E_INVALID_ARG;
    if (size > UINT32_MAX) return RYL_E_OUT_OF_MEMORY;
    void* memory = nullptr;
    const ResultCode rc = allocator->callbacks->Allocate(&memory, static_cast<uint32_t>(size), allocator->context);
    if (rc < 0) return rc;
    // An allocator that reports success without memory has failed after all.
    if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
    *out = memory;
    return RYL_OK;
  }
  void* memory = sys::DefaultHeapAllocate(size);
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  *out = memory;
  return RYL_OK;
}

void FreeObjectMemory(void* memory, const AllocatorRecord* allocator) noexcept {
  if (memory == nullptr) return;
  if (allocator != nullptr && allocator->callbacks != nullptr) {
    if (allocator->callbacks->Free != nullptr) allocator->callbacks->Free(memory, allocator->context);
    return;
  }
  sys::DefaultHeapFree(memory);
}

}  // namespace ryl::core
