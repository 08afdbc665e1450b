#!/usr/bin/env bash
# Installs the cross toolchain, Wine and the tools the tests drive, as root,
# on Debian bookworm. Safe to run again: a machine that already has
# everything only pays for one dpkg query.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools
  binutils-mingw-w64-i686 libz-mingw-w64-dev
  clang-14 lld-14 llvm-14
  cmake ninja-build googletest dpkg-dev make perl python3
  wine wine32:i386 wine64
  zip unzip p7zip-full libarchive-tools bzip2 xz-utils zstd openssl
)

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  query=$name${arch:+:$arch}
  if ! dpkg-query -W -f='${Status}' "$query" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-toolchain: everything is present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-toolchain: missing ${missing[*]}; run as root to install them" >&2
  exit 1
fi

echo "install-toolchain: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"

# The posix-thread flavour is what the build expects behind the plain names.
for tool in i686-w64-mingw32-gcc i686-w64-mingw32-g++; do
  if update-alternatives --list "$tool" >/dev/null 2>&1; then
    update-alternatives --set "$tool" "/usr/bin/$tool-posix" || true
  fi
done
