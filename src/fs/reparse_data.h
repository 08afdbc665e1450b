// The reparse data of a junction or a symbolic link, laid out as the native
// layer takes it in a set-reparse-point control: an 8-byte header (tag,
// data length, reserved), four 16-bit name offsets and lengths in bytes
// relative to the name buffer, for a symbolic link a 32-bit flags word, then
// the names. Free of Windows headers: pure layout.
#pragma once

#include <cstdint>
#include <vector>

#include "ryl/result.h"
#include "strings/path_text.h"

namespace ryl::fs {

inline constexpr uint32_t kReparseTagMountPoint = 0xA0000003;
inline constexpr uint32_t kReparseTagSymbolicLink = 0xA000000C;
inline constexpr uint32_t kSymbolicLinkRelative = 1;
// The largest data length (after the 8-byte header) the library writes.
inline constexpr uint32_t kMaxReparseDataLength = 8184;

// A junction: the substitute name (the native target) and the print name
// (the target as the caller wrote it), each zero-terminated in the buffer.
// A symbolic link: the same two names without terminators and the flags.
// RYL_E_INVALID_ARG when a name is 0x10000 bytes or longer;
// RYL_E_OUT_OF_RANGE when the data would pass kMaxReparseDataLength.
[[nodiscard]] ResultCode BuildReparseData(uint32_t tag, strings::PathText substituteName,
                                          strings::PathText printName, uint32_t flags,
                                          std::vector<uint8_t>* out);

}  // namespace ryl::fs
