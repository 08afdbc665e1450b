// Entry names as they may be shown on a terminal. A name is the archive
// author's text: control characters in it would move the cursor, recolour
// or retitle the console, and a NUL would end the line early; direction
// overrides would show one name as another. Such characters are shown
// escaped as \xNN or \uNNNN, everything else as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace rylcli {

std::string Printable(std::wstring_view text);

}  // namespace rylcli
