#pragma once

namespace rylcli {

// True when an entry name stays inside the directory it is extracted to:
// no ".." component, no drive letter or other colon, not absolute, not UNC.
bool IsSafeEntryName(const wchar_t* name, unsigned length);

}  // namespace rylcli
