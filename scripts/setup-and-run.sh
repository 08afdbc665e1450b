#!/usr/bin/env bash
# The main job on a fresh machine: install, build, and run rylcli under Wine.
# rylcli loads the DLL and reports its interfaces, then lists, tests and
# extracts a sample archive that this script makes with Info-ZIP, and the
# extracted tree is compared with the files the archive was made from.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
export RYL_BUILD_DIR=$build

"$root/scripts/build.sh"

export RYL_WINEPREFIX=$build/wineprefix
# rylcli is a 32-bit program; Wine cannot run it where the kernel does not.
if ! "$root/cmake/wine-run.sh" --check; then
  echo "setup-and-run: everything is built, but this machine cannot run rylcli (see README.md)" >&2
  exit 1
fi
trap '"$root/cmake/wine-run.sh" --shutdown' EXIT
rylcli() { "$root/cmake/wine-run.sh" "$build/bin/rylcli.exe" "$@"; }

rylcli info

sample=$build/sample
rm -rf "$sample"
mkdir -p "$sample/in/docs" "$sample/in/data"
for i in $(seq 1 200); do echo "line $i of a small text file"; done > "$sample/in/docs/readme.txt"
printf 'a text with no line end' > "$sample/in/docs/short.txt"
head -c 300000 /dev/urandom > "$sample/in/data/random.bin"
: > "$sample/in/data/empty.bin"
(cd "$sample/in" && zip -q -r -6 -z ../sample.zip . <<<"sample archive made by setup-and-run.sh")

cd "$sample"
rylcli zip list sample.zip
rylcli zip test sample.zip
rylcli zip extract sample.zip out
diff -r in out
echo "rylcli: the extracted archive matches the files it was made from"
