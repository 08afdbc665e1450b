#!/usr/bin/env bash
# Installs what is missing, builds the dependencies (cached outside the repo),
# then configures and builds rylutil into $RYL_BUILD_DIR (default: build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}

"$root/scripts/install-toolchain.sh"
prefix=$("$root/deps/build.sh" | tail -n 1)
[ -f "$prefix/.complete" ] || { echo "build: dependency prefix '$prefix' is not complete" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DRYL_DEPS_PREFIX="$prefix"
cmake --build "$build" -j "$(nproc)"
