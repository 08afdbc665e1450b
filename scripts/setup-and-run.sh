#!/usr/bin/env bash
# The main job on a fresh machine: install, build, and run rylcli under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
export RYL_BUILD_DIR=$build

"$root/scripts/build.sh"

export RYL_WINEPREFIX=$build/wineprefix
trap '"$root/cmake/wine-run.sh" --shutdown' EXIT
"$root/cmake/wine-run.sh" "$build/bin/rylcli.exe" info
