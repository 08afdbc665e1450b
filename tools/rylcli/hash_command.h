// rylcli hash: a file's digest or checksum, printed as sha256sum prints it.
#pragma once

namespace rylcli {

// argv holds what follows "hash" on the command line.
int RunHash(int argc, wchar_t** argv);

}  // namespace rylcli
