// rylcli rsa: PKCS #1 version 1.5 signatures from raw key components.
#pragma once

namespace rylcli {

// argv holds what follows "rsa" on the command line.
int RunRsa(int argc, wchar_t** argv);

}  // namespace rylcli
