#pragma once

namespace rylcli {

// rylcli reg query|list [/32|/64] KEY [VALUE]
int RunReg(int argc, wchar_t** argv);

}  // namespace rylcli
