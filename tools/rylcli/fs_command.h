// rylcli fs: directory trees, bulk copies, free space and identities over the
// file-system service.
#pragma once

namespace rylcli {

int RunFs(int argc, wchar_t** argv);

}  // namespace rylcli
