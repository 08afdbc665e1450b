// Text between the library's views, the host's wide strings and the console.
#pragma once

#include <ryl/ryl.h>

#include <string>

namespace rylcli {

std::wstring WideText(const RylStringView& view);

// Names and comments go out as UTF-8: the C runtime's own conversion stops
// at the first character outside the console's code page.
std::string Utf8(const std::wstring& text);

}  // namespace rylcli
