#!/usr/bin/env bash
# The SDK archive: builds the tree, installs it into a staging directory and
# zips that as dist/rylutil-<version>-win32.zip, with a SHA-256 file beside
# it in sha256sum's format. The archive holds one top directory of the same
# name: bin/, lib/, include/ryl/, lib/cmake/rylutil/ and share/doc/rylutil/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
out=${RYL_DIST_DIR:-$root/dist}
export RYL_BUILD_DIR=$build

version=$(sed -n 's/^#define RYL_SDK_VERSION_STRING "\(.*\)"$/\1/p' "$root/include/ryl/version.h")
[ -n "$version" ] || { echo "dist: no version in include/ryl/version.h" >&2; exit 1; }
name=rylutil-$version-win32

"$root/scripts/build.sh"
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
# Stripped of the symbol tables, which a customer does not debug with.
cmake --install "$build" --prefix "$staging/$name" --strip >/dev/null

mkdir -p "$out"
rm -f "$out/$name.zip" "$out/$name.zip.sha256"
# Entries in name order with the install's times, so that two builds of the
# same tree differ only where the binaries do.
(cd "$staging" && find "$name" -print | LC_ALL=C sort | zip -q -X -@ "$out/$name.zip")
(cd "$out" && sha256sum "$name.zip" > "$name.zip.sha256")
echo "$out/$name.zip"
