// How much rylcli says besides results and errors, set once by the global
// switches before the family name: -q nothing else, -v per-entry and
// per-file detail and progress even into a pipe.
#pragma once

namespace rylcli {

enum class Verbosity { kQuiet, kNormal, kVerbose };

void SetVerbosity(Verbosity verbosity);
bool Quiet();
bool Verbose();

}  // namespace rylcli
