// Unique identifiers and their 36-character text form
// (XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX), used for the library's own
// temporary names.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

struct RylGuid {
  uint8_t bytes[16];
};
static_assert(sizeof(RylGuid) == 16);

namespace RylGuidUtils {

inline constexpr uint32_t kTextLength = 36;

// A fresh random identifier (version-4 layout) from the cryptographic
// generator, so that names made from it do not collide across processes.
[[nodiscard]] ResultCode CreateLuid(RylGuid* out) noexcept;

// Writes exactly kTextLength UTF-16 units, no terminating zero. The byte
// order is that of a Windows GUID: the first three groups little-endian.
void GetString(const RylGuid& guid, char16_t* out) noexcept;

}  // namespace RylGuidUtils
}  // namespace ryl::sys
