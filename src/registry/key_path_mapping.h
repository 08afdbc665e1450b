// The text rules of the registry views, with no native call: upper-casing as
// the view rules compare, the 32-bit view insertion of "\Wow6432Node", the
// path of a merged-classes key relative to the machine or the user, and the
// collapsing of doubled nodes in a created path.
#pragma once

#include <cstdint>
#include <string>

#include "ryl/result.h"

namespace ryl::registry {

using KeyText = std::u16string;

// Units up to 96 stay, 'a'..'z' lose 32, the rest go through the system's
// upper-case table.
KeyText UpperCaseKeyText(const char16_t* text, size_t length);
inline KeyText UpperCaseKeyText(const KeyText& text) { return UpperCaseKeyText(text.data(), text.size()); }

bool StartsWith(const KeyText& text, std::u16string_view prefix) noexcept;
bool StartsWithNoCase(const KeyText& text, std::u16string_view prefix);

// Where the first "\WOW6432NODE" of an upper-cased path starts when it is a
// whole component (followed by the end or a '\'); npos otherwise, also when
// only a later occurrence would be whole.
size_t FindWholeWow64Node(const KeyText& upper) noexcept;

// The 32-bit view of a 64-bit process. base is the root's full native name,
// subkey the caller's (hasSubkey false: none). Mapped: either relative to the
// root (relativeToRoot) or an absolute native name; clearView32 tells that
// KEY_WOW64_32KEY leaves the access mask.
struct ViewMapping {
  bool mapped = false;
  bool relativeToRoot = false;
  bool clearView32 = false;
  KeyText name;
};
ViewMapping MapTo32BitView(const KeyText& base, const char16_t* subkey, uint32_t subkeyLength, bool hasSubkey);

// The path of a classes-view key below HKEY_LOCAL_MACHINE (isMachine) or
// HKEY_CURRENT_USER, from its full native name. RYL_E_INVALID_ARG for a name
// shorter than 17 units.
struct ClassesPath {
  KeyText path;
  bool isMachine = false;
};
[[nodiscard]] ResultCode ClassesRelativePath(const KeyText& nativeName, ClassesPath* out);

// "\Wow6432Node\Wow6432Node" collapses to one node, everywhere in the path.
KeyText CollapseDoubledNodes(const KeyText& path);

}  // namespace ryl::registry
