// A whole file read into memory, as the commands that work on a file's
// bytes need it; failures are reported on stderr.
#pragma once

#include <string>

namespace rylcli {

bool ReadWholeFile(const wchar_t* path, std::string* out);

}  // namespace rylcli
