// The registry service's native key calls, over ntdll.
#pragma once

#include "registry/native_keys.h"

namespace ryl::module {

// One process-wide instance: it holds no state.
registry::NativeKeys& NativeRegistryKeys() noexcept;

}  // namespace ryl::module
