// rylcli re: the lines of a file that a regular expression matches.
#pragma once

namespace rylcli {

// argv holds what follows "re" on the command line.
int RunRe(int argc, wchar_t** argv);

}  // namespace rylcli
