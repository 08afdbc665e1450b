// The module's default heap: the process heap. Failure is a null pointer,
// never an exception.
#pragma once

#include <cstddef>

namespace ryl::sys {

[[nodiscard]] void* DefaultHeapAllocate(size_t size) noexcept;
// Keeps the block and returns null when the heap cannot grow it.
[[nodiscard]] void* DefaultHeapReallocate(void* block, size_t size) noexcept;
void DefaultHeapFree(void* block) noexcept;

}  // namespace ryl::sys
