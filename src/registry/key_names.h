// Reading one name of a key's subkeys or values by index, with the native
// records' buffer pattern: 256 bytes on the stack, one exact heap buffer
// when the system asks for more.
#pragma once

#include <cstdint>
#include <vector>

#include "registry/key_path_mapping.h"
#include "registry/native_keys.h"
#include "ryl/result.h"

namespace ryl::registry {

enum class NameKind { kSubKey, kValue };

// RYL_OK with the name; RYL_S_NO_MORE_ITEMS past the last; otherwise the
// mapped failure.
[[nodiscard]] ResultCode ReadNameAt(NativeKeys& keys, KeyHandle key, NameKind kind, uint32_t index, KeyText* out);

// Completes string data as readers expect: REG_SZ and REG_EXPAND_SZ end with
// one zero unit, REG_MULTI_SZ (4 bytes or more) with two.
void CompleteStringValue(uint32_t type, std::vector<uint8_t>* data);

}  // namespace ryl::registry
