#!/usr/bin/env bash
# The whole test suite: install, build, run a short round of every fuzz
# target of the portable core on the Linux host, then every test executable
# under Wine through CTest. Ends with CTest's summary line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
export RYL_BUILD_DIR=$build

"$root/scripts/build.sh"
RYL_FUZZ_BUILD_DIR=${RYL_FUZZ_BUILD_DIR:-$build-fuzz} "$root/fuzz/run.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
