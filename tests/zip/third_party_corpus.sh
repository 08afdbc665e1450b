#!/usr/bin/env bash
# The test archives of Debian's libarchive and libzip source packages that
# use the methods beyond deflate (AES, LZMA, zstd, xz, bzip2), with the test
# sources that name their passwords, for tests/zip/methods_interop.py.
#
#   tests/zip/third_party_corpus.sh DIR
#
# DIR/libarchive gets the uuencoded archives and the .c files with their
# passphrases, DIR/libzip the archives and the .test files with theirs.
# DIR/.stamp records the pins and this script's hash; a DIR whose stamp
# matches is left as it is.
set -euo pipefail
dest=$1
libarchive_pin=3.6.2-1+deb12u5
libzip_pin=1.7.3-1
stamp="libarchive=$libarchive_pin libzip=$libzip_pin $(sha256sum "$0" | cut -c1-16)"
if [ -f "$dest/.stamp" ] && [ "$(cat "$dest/.stamp")" = "$stamp" ]; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch() {
  (cd "$work" && apt-get source --download-only "libarchive=$libarchive_pin" "libzip=$libzip_pin")
}
if ! fetch >"$work/fetch.log" 2>&1; then
  # The source index may not be enabled yet on a fresh machine
  # (deps/expat-source.sh enables it the same way).
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
  fetch >>"$work/fetch.log" 2>&1 \
    || { tail -n 20 "$work/fetch.log" >&2; echo "third_party_corpus: cannot fetch the source packages" >&2; exit 1; }
fi
unpack() {  # DSC DIR: the patched tree, as Debian builds it
  (cd "$work" && { dpkg-source -x "$1" "$2" >/dev/null 2>&1 || dpkg-source --no-check -x "$1" "$2" >/dev/null; })
}
unpack "libarchive_${libarchive_pin}.dsc" libarchive
unpack "libzip_${libzip_pin}.dsc" libzip
rm -rf "$dest"
mkdir -p "$dest/libarchive" "$dest/libzip"
la=$work/libarchive/libarchive/test
for stem in 7z_lzma lzma lzma_multi lzma_stream_end xz_multi zstd zstd_multi \
            winzip_aes128 winzip_aes256 winzip_aes256_stored winzip_aes256_large; do
  found=0
  for f in "$la"/test_read_format_zip_"$stem".zip.uu "$la"/test_read_format_zip_"$stem".zipx.uu; do
    [ -f "$f" ] && { cp "$f" "$dest/libarchive/"; found=1; }
  done
  [ "$found" = 1 ] || { echo "third_party_corpus: libarchive has no $stem archive" >&2; exit 1; }
done
cp "$la"/test_read_format_zip_winzip_aes.c "$la"/test_read_format_zip_winzip_aes_large.c "$dest/libarchive/"
lz=$work/libzip/regress
cp "$lz"/testfile-lzma.zip "$lz"/testfile-xz.zip "$lz"/testbzip2.zip "$lz"/encrypt.zip \
   "$lz"/encrypt-aes*.zip "$lz"/decrypt-*.test "$lz"/encryption-nonrandom-aes*.test "$dest/libzip/"
echo "$stamp" >"$dest/.stamp"
