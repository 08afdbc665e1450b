// How the archive's texts become UTF-16 and back. Entry names and comments
// are UTF-8 when general-purpose bit 11 is set and in the system's OEM code
// page otherwise; the library always writes them as UTF-8 and sets bit 11
// only when a reader would otherwise get them wrong. The archive comment is
// read and written in the OEM code page, and passwords become
// bytes through the ANSI code page. The conversions are the string
// service's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ryl/result.h"

namespace ryl::archive {

// Outputs are replaced on success and untouched on failure. Malformed UTF-8
// fails with the string service's code.
[[nodiscard]] ResultCode DecodeEntryText(const uint8_t* bytes, uint32_t length, bool utf8,
                                         std::u16string* out) noexcept;
[[nodiscard]] ResultCode EncodeEntryText(std::u16string_view text, std::vector<uint8_t>* out) noexcept;

// True when text holds a unit above 127, the only case in which its UTF-8
// bytes differ from what an OEM reader expects.
[[nodiscard]] bool NeedsUtf8Flag(std::u16string_view text) noexcept;

[[nodiscard]] ResultCode DecodeArchiveComment(const uint8_t* bytes, uint32_t length, std::u16string* out) noexcept;
[[nodiscard]] ResultCode EncodeArchiveComment(std::u16string_view text, std::vector<uint8_t>* out) noexcept;

[[nodiscard]] ResultCode EncodePassword(std::u16string_view password, std::vector<uint8_t>* out) noexcept;

}  // namespace ryl::archive
