// Which entry names may become files under the target directory. A name is
// refused when it would leave the directory, when Windows would open
// something other than the file it names (a device: CON, COM1, ...), or when
// Windows would store it under another name (a component ending in a dot or
// a space loses them, so "a." and "a" collide). No platform calls: the rules
// are the same text rules everywhere, and they are tested natively.
#pragma once

#include <string>
#include <string_view>

namespace rylcli {

enum class NameProblem {
  kNone,
  kEmpty,               // no name, or an empty component ("a//b" is normalised before this)
  kAbsolute,            // starts with a separator: absolute or UNC
  kParent,              // a ".." component
  kColon,               // a drive letter or an alternate data stream
  kReservedCharacter,   // < > " | ? * or a control character
  kDeviceName,          // CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, with any extension
  kTrailingDotOrSpace,  // a component that Windows would store without them
};

NameProblem CheckEntryName(std::wstring_view name);

// Why a name was refused, for the report.
const char* ExplainNameProblem(NameProblem problem);

// True for a path component that names a reserved device, whatever its
// extension and trailing dots and spaces, in any letter case.
bool NamesReservedDevice(std::wstring_view component);

// The text that decides which entries land on the same file: separators
// made one, letters folded to one case (Windows file names ignore case).
// Characters outside Latin-1 and Greek/Cyrillic keep their case; two names
// that differ only there still collide on disk, and the open then finds the
// first file, which the duplicate check in extraction reports.
std::wstring OutputKey(std::wstring_view name);

}  // namespace rylcli
