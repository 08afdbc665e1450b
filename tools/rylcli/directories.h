#pragma once

#include <string>

namespace rylcli {

// Creates every missing directory of a full path, outermost first; false
// when one cannot be made.
bool EnsureDirectories(const std::wstring& path);

}  // namespace rylcli
