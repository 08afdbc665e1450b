// The allocator record a host hands back to free an object the library put
// on the process heap: no allocator table.
#pragma once

#include "ryl/records.h"

namespace ryl::test {

inline constexpr AllocatorRecord kDefaultHeap = {nullptr, nullptr};

}  // namespace ryl::test
