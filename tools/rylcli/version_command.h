#pragma once

namespace rylcli {

// rylcli's release and the FileVersion of the rylutil.dll in this process.
int RunVersion();

}  // namespace rylcli
