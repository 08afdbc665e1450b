#include "verbosity.h"

namespace rylcli {
namespace {
Verbosity g_verbosity = Verbosity::kNormal;
}  // namespace

void SetVerbosity(Verbosity verbosity) { g_verbosity = verbosity; }
bool Quiet() { return g_verbosity == Verbosity::kQuiet; }
bool Verbose() { return g_verbosity == Verbosity::kVerbose; }

}  // namespace rylcli
