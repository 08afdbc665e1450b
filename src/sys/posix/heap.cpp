// The default heap for the portable (fuzzing) build: the C heap, so that the
// address sanitizer sees every block the library allocates.
#include "sys/heap.h"

#include <cstdlib>

namespace ryl::sys {

// A zero-byte request still yields a distinct block, as the process heap does.
void* DefaultHeapAllocate(size_t size) noexcept { return std::malloc(size == 0 ? 1 : size); }

// realloc leaves the block in place when it fails, which is the contract.
void* DefaultHeapReallocate(void* block, size_t size) noexcept {
  if (block == nullptr) return DefaultHeapAllocate(size);
  return std::realloc(block, size == 0 ? 1 : size);
}

void DefaultHeapFree(void* block) noexcept { std::free(block); }

}  // namespace ryl::sys
