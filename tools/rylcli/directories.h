#pragma once

#include <string>

namespace rylcli {

// Creates every missing directory of a full path, outermost first; false
// when one cannot be made.
bool EnsureDirectories(const std::wstring& path);

// Creates every missing directory of relative (components separated by
// "\") below base, which exists. Each directory is opened relative to its
// parent's handle, so the cost grows with the depth, not with the depth
// times the path's length as it does when every level is named by its
// full path.
bool EnsureDirectoriesBelow(const std::wstring& base, const std::wstring& relative);

}  // namespace rylcli
