// Where plain objects live: the receiver's allocator when the creating
// operation honours it, otherwise the process's default heap.
#pragma once

#include <cstddef>

#include "ryl/records.h"

namespace ryl::core {

// The record that names the process's default heap: no allocator table.
inline constexpr AllocatorRecord kDefaultHeap = {nullptr, nullptr};

// A null record or a record with a null table means the default heap.
// Allocator failures are passed on unchanged; a failing default heap gives
// RYL_E_OUT_OF_MEMORY. *out is written only on success.
[[nodiscard]] ResultCode AllocateObjectMemory(void** out, size_t size, const AllocatorRecord* allocator) noexcept;

// Frees through the record's Free entry when its table is not null, else
// through the default heap, as Destroy slots do.
void FreeObjectMemory(void* memory, const AllocatorRecord* allocator) noexcept;

}  // namespace ryl::core
