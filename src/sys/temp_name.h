// The names of the library's own temporary artefacts: "vqz-" followed by a
// fresh 36-character identifier (the stem), and for files ".tmp" after it.
// Every place that makes such a name goes through here, so that the form a
// cleanup tool or a user may look for is written once.
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "sys/guid_utils.h"

namespace ryl::sys {

inline constexpr uint32_t kRylTempStemLength = 4 + RylGuidUtils::kTextLength;
inline constexpr uint32_t kRylTempFileNameLength = kRylTempStemLength + 4;

// Writes exactly kRylTempStemLength units, no terminating zero.
[[nodiscard]] ResultCode RylMakeTempStem(char16_t* out) noexcept;
// Writes exactly kRylTempFileNameLength units, no terminating zero.
[[nodiscard]] ResultCode RylMakeTempFileName(char16_t* out) noexcept;

}  // namespace ryl::sys
