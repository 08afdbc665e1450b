// The path vocabulary of the library: what a root, a parent, a last name and
// an extension are, and how paths are put together. Pure text over UTF-16
// units; nothing here touches the file system or the process state. Both `\`
// and `/` separate components wherever a separator is looked for, and `\` is
// what gets inserted.
//
// View results point into the caller's text. Operations that write an
// OutputBuffer set its length with Resize and then copy, add no terminator,
// and pass a failing Resize on unchanged. Inputs may live in the output's
// current contents: they are copied aside before the output is resized.
#pragma once

#include <cstdint>
#include <string_view>

#include "ryl/records.h"
#include "ryl/result.h"

namespace ryl::strings {

using PathText = std::u16string_view;

constexpr bool IsPathSeparator(char16_t c) noexcept { return c == u'\\' || c == u'/'; }

// Host text at the slot boundary, where RylChar16 is wchar_t. A null pointer
// is accepted only with a zero length.
inline bool FromHostText(const RylChar16* text, uint32_t length, PathText* out) noexcept {
  if (text == nullptr) {
    *out = PathText();
    return length == 0;
  }
  *out = PathText(reinterpret_cast<const char16_t*>(text), length);
  return true;
}

// `C:`, `C:\...` and `\\...` are absolute; `C:foo`, `\foo`, `foo` and the
// empty path are not.
bool IsAbsolutePath(PathText path) noexcept;

// A path that starts at the root of "the current drive" (`\foo`), as opposed
// to a network path (`\\server`).
bool IsRootedWithoutDrive(PathText path) noexcept;

// `C:\` → 3, `C:` → 2, `\\server\share\dir` → 14, `\\server\` → 9, `\x` → 1.
uint32_t GetRootLength(PathText path) noexcept;
PathText GetRootPath(PathText path) noexcept;

// The drive root of `C:...`, `\\?\C:...`, `\??\C:...` or `\\.\C:...`: the text
// up to the colon followed by `\`. Other paths give RYL_E_BAD_FORMAT and an
// empty output.
[[nodiscard]] ResultCode GetDriveRoot(OutputBuffer* output, PathText path) noexcept;
// The length of the text up to and including the drive colon, or 0 when the
// path names no drive.
uint32_t GetDriveColonEnd(PathText path) noexcept;

PathText GetFileNamePart(PathText path) noexcept;
// The extension with its dot; empty when the last name has none or ends in a dot.
PathText GetExtension(PathText path) noexcept;
inline bool HasExtension(PathText path) noexcept { return !GetExtension(path).empty(); }
PathText GetStem(PathText path) noexcept;
PathText GetParentPath(PathText path) noexcept;

// Fails with RYL_E_BAD_FORMAT, leaving both outputs untouched, when there is
// no separator before the name (the first character does not count).
[[nodiscard]] ResultCode SplitParentAndName(PathText path, PathText* outParent, PathText* outName) noexcept;

// Writes a view result (GetExtension and friends) as a copy.
[[nodiscard]] ResultCode WritePathText(OutputBuffer* output, PathText text) noexcept;

// The output is both the path appended to and the result.
[[nodiscard]] ResultCode AppendComponent(OutputBuffer* inOut, PathText component) noexcept;
[[nodiscard]] ResultCode ReplaceExtension(OutputBuffer* output, PathText path, PathText extension) noexcept;
// Purely textual: "." and ".." stay as they are.
[[nodiscard]] ResultCode CombinePaths(OutputBuffer* output, PathText base, PathText relative) noexcept;

// True when a name could not be reached without the verbatim (`\\?\`) form
// because the ordinary conversion would strip a trailing dot or space.
bool NeedsVerbatimForm(PathText name) noexcept;
// Joins a directory and an entry name so that the result still names that
// entry, switching to the verbatim form when the name needs it.
[[nodiscard]] ResultCode JoinVerbatim(OutputBuffer* output, PathText directory, PathText name) noexcept;

}  // namespace ryl::strings
