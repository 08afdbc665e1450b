// Entry names as the archive stores them: "/" is the only separator, no run
// of separators, and a directory is exactly a name that ends in "/". The
// reader puts every name it loads through this, and so does every operation
// that names an entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ryl/result.h"

namespace ryl::archive {

[[nodiscard]] constexpr bool IsNameSeparator(char16_t unit) noexcept { return unit == u'/' || unit == u'\\'; }

// False for an empty name, one that begins with a separator, and (which
// follows) one made of separators only.
[[nodiscard]] bool IsValidEntryName(std::u16string_view name) noexcept;

// Turns "\" into "/" and collapses runs of separators, so a\b//c becomes
// a/b/c and dir\ becomes dir/. *outAttributes receives the external
// attributes the name implies: 0x10 when it ends in "/", else 0x20. An
// invalid name gives RYL_E_INVALID_ARG; outputs untouched on failure.
[[nodiscard]] ResultCode NormalizeEntryName(std::u16string_view name, std::u16string* outName,
                                            uint32_t* outAttributes) noexcept;

// Appends the "/" that makes a normalised name a directory, when missing.
[[nodiscard]] ResultCode MakeDirectoryName(std::u16string* name) noexcept;

[[nodiscard]] bool IsDirectoryName(std::u16string_view normalizedName) noexcept;

// The reader's lookup rule: same length, and every pair of units equal or
// both separators. Case counts.
[[nodiscard]] bool EntryNamesMatch(std::u16string_view first, std::u16string_view second) noexcept;

}  // namespace ryl::archive
