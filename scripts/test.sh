#!/usr/bin/env bash
# The whole test suite: install, build, and run every test executable under
# Wine through CTest. Ends with CTest's summary line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
export RYL_BUILD_DIR=$build

"$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
