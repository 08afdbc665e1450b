#include "sys/heap.h"

#include "sys/native_api.h"

namespace ryl::sys {

void* DefaultHeapAllocate(size_t size) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void* DefaultHeapReallocate(void* block, size_t size) noexcept {
  if (block == nullptr) return DefaultHeapAllocate(size);
  return HeapReAlloc(GetProcessHeap(), 0, block, size == 0 ? 1 : size);
}

void DefaultHeapFree(void* block) noexcept {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace ryl::sys
