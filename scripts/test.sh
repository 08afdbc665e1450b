#!/usr/bin/env bash
# The whole test suite: install, build, run a short round of every fuzz
# target of the portable core on the Linux host and the white-box suites of
# that core natively with the sanitizers, then every test executable under
# Wine through CTest (all but those labelled slow). Ends with CTest's
# summary line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
export RYL_BUILD_DIR=$build

"$root/scripts/build.sh"
fuzz_build=${RYL_FUZZ_BUILD_DIR:-$build-fuzz}
RYL_FUZZ_BUILD_DIR=$fuzz_build "$root/fuzz/run.sh"
cmake --build "$fuzz_build" -j "$(nproc)" --target portable_tests
"$fuzz_build/bin/portable_tests" --gtest_brief=1
# Tests labelled slow (minutes each) run on request: ctest -L slow.
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE slow
