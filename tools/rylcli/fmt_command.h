#pragma once

namespace rylcli {

// rylcli fmt FORMAT [ARG...]
int RunFmt(int argc, wchar_t** argv);

}  // namespace rylcli
