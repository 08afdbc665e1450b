#pragma once

namespace rylcli {

// Loads the module, prints the interface versions of the root and its
// embedded services, and releases everything again.
int RunInfo();

}  // namespace rylcli
