#!/usr/bin/env bash
# Unpacks Debian's pinned expat source with the module's patches applied
# (deps/patches/expat-*.patch), for the portable build, which compiles expat
# itself for the Linux host with the sanitizers of that build.
#
#   deps/expat-source.sh DIR     DIR/expat holds the patched upstream tree
#
# DIR/.stamp records the pin and the patches' hash; a DIR whose stamp matches
# is left as it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=$1
pin=$(sed -n 's/^EXPAT_PIN=//p' "$root/deps/build.sh")
[ -n "$pin" ] || { echo "expat-source: no EXPAT_PIN in deps/build.sh" >&2; exit 1; }
stamp="$pin $(cat "$root"/deps/patches/expat-*.patch 2>/dev/null | sha256sum | cut -c1-16)"
if [ -f "$dest/.stamp" ] && [ "$(cat "$dest/.stamp")" = "$stamp" ] && [ -f "$dest/expat/lib/xmlparse.c" ]; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get source --download-only "expat=$pin") >"$work/fetch.log" 2>&1; then
  # The source index may not be enabled yet on a fresh machine (deps/build.sh
  # enables it the same way when it fetches).
  if [ "$(id -u)" -eq 0 ]; then
    d822=/etc/apt/sources.list.d/debian.sources
    if [ -f "$d822" ]; then
      sed -i -E '/^Types:/{/deb-src/!s/^Types:(.*)$/Types:\1 deb-src/}' "$d822"
    elif grep -Eq '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list 2>/dev/null; then
      sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list \
        >/etc/apt/sources.list.d/rylutil-deb-src.list
    fi
    apt-get update -q >>"$work/fetch.log" 2>&1 || true
  fi
  (cd "$work" && apt-get source --download-only "expat=$pin") >>"$work/fetch.log" 2>&1 \
    || { tail -n 20 "$work/fetch.log" >&2; echo "expat-source: cannot fetch expat=$pin" >&2; exit 1; }
fi
dsc=$work/expat_${pin#*:}.dsc
(cd "$work" && dpkg-source -x "$dsc" src >/dev/null 2>&1) || (cd "$work" && dpkg-source --no-check -x "$dsc" src >/dev/null)
for p in $(ls "$root"/deps/patches/expat-*.patch 2>/dev/null | LC_ALL=C sort); do
  patch -d "$work/src" -p1 --batch --forward <"$p" >/dev/null
done
rm -rf "$dest"
mkdir -p "$dest"
cp -r "$work/src/expat" "$dest/expat"
echo "$stamp" >"$dest/.stamp"
