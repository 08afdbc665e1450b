#!/usr/bin/env bash
# Builds the static i686 Windows libraries rylutil links against, from
# Debian's pinned source packages, into a cache outside the repository:
#
#   ${RYL_DEPS_CACHE:-/var/cache/rylutil-deps}/<hash>
#
# <hash> is the first 16 hex digits of a sha256 over this script and every
# file in deps/patches/, so editing either yields a fresh prefix. A prefix is
# complete when it holds the file .complete, which is written last; the build
# happens in <prefix>.partial, which is renamed at the very end, so an
# interrupted run never leaves something that looks finished.
#
# Usage:
#   deps/build.sh                 build if needed; last stdout line = prefix
#   deps/build.sh --print-prefix  print the prefix only, build nothing
#   deps/build.sh -jN             use N parallel jobs (default: nproc)
#
# Environment:
#   RYL_DEPS_CACHE    cache root (default /var/cache/rylutil-deps)
#   RYL_DEPS_JOBS     parallel jobs (default: nproc)
#   RYL_DEPS_VERBOSE  1 = stream build output to stderr instead of log files
#
# Progress goes to stderr; stdout carries only the prefix.
#
# Needs the cross toolchain from scripts/install-toolchain.sh, and root the
# first time (it may have to enable deb-src entries and run apt-get update).
set -euo pipefail
# The whole script is one brace group, so bash parses it completely before
# running it: editing this file while a build runs cannot derail that build.
{

# ---------------------------------------------------------------------------
# Pinned Debian source packages (bookworm). Change deliberately: a pin that
# cannot be downloaded is an error, never silently replaced.
# ---------------------------------------------------------------------------
OPENSSL_PIN=3.0.17-1~deb12u2
EXPAT_PIN=2.5.0-1+deb12u2
PCRE3_PIN=2:8.39-15
BZIP2_PIN=1.0.8-5
XZ_PIN=5.4.1-1+deb12u2
# 1.5.4+dfsg2-5+deb12u1 is listed by the security index, but its files cannot
# be fetched from the mirror here; -5 is the newest that can.
ZSTD_PIN=1.5.4+dfsg2-5
# GoogleTest comes from the installed `googletest` package (sources only).
GOOGLETEST_SRC=/usr/src/googletest

TRIPLET=i686-w64-mingw32
CC_X=$TRIPLET-gcc-posix
CXX_X=$TRIPLET-g++-posix
AR_X=$TRIPLET-ar
RANLIB_X=$TRIPLET-ranlib
OBJDUMP_X=$TRIPLET-objdump
WINDRES_X=$TRIPLET-windres
MINGW_SYSROOT=/usr/$TRIPLET

# Where libcrypto looks for openssl.cnf, engines and provider modules at run
# time on Windows. These mirror upstream's defaults for 32-bit Windows builds:
# locations only an administrator can write. (Left alone, a MinGW build would
# bake in a path like /usr/local/ssl, i.e. C:\usr\local\ssl, which any user
# may create.)
OPENSSL_WIN_OPENSSLDIR="C:/Program Files (x86)/Common Files/SSL"
OPENSSL_WIN_ENGINESDIR="C:/Program Files (x86)/OpenSSL/lib/engines-3"
OPENSSL_WIN_MODULESDIR="C:/Program Files (x86)/OpenSSL/lib/ossl-modules"

KNOWN_PACKAGES=(openssl expat pcre3 bzip2 xz-utils libzstd googletest)

# ---------------------------------------------------------------------------
# Output: everything goes to stderr, the prefix alone to the real stdout.
# ---------------------------------------------------------------------------
exec 3>&1 1>&2

log() { printf 'deps: %s\n' "$*" >&2; }
die() { printf 'deps: ERROR: %s\n' "$*" >&2; exit 1; }

script_path=$(readlink -f "${BASH_SOURCE[0]}")
deps_dir=$(dirname "$script_path")
patch_dir=$deps_dir/patches

print_only=0
jobs=${RYL_DEPS_JOBS:-$(nproc)}
while [ $# -gt 0 ]; do
  case $1 in
    --print-prefix) print_only=1 ;;
    -j) shift; [ $# -gt 0 ] || die "-j needs a number"; jobs=$1 ;;
    -j*) jobs=${1#-j} ;;
    --jobs=*) jobs=${1#--jobs=} ;;
    -h|--help) sed -n '2,26p' "$script_path" | sed 's/^# \{0,1\}//' >&3; exit 0 ;;
    *) die "unknown argument: $1 (try --help)" ;;
  esac
  shift
done
[[ $jobs =~ ^[1-9][0-9]*$ ]] || die "bad job count: $jobs"

# Lists "<sha256>  <name>" for the script and each patch-directory file,
# sorted by name, and hashes that list: content and names both count.
compute_hash() {
  {
    printf '%s  build.sh\n' "$(sha256sum <"$script_path" | cut -d' ' -f1)"
    if [ -d "$patch_dir" ]; then
      local f
      while IFS= read -r -d '' f; do
        printf '%s  patches/%s\n' "$(sha256sum <"$patch_dir/$f" | cut -d' ' -f1)" "$f"
      done < <(find "$patch_dir" -type f -printf '%P\0' | LC_ALL=C sort -z)
    fi
  } | sha256sum | cut -c1-16
}

cache_root=${RYL_DEPS_CACHE:-/var/cache/rylutil-deps}
cache_root=${cache_root%/}
hash=$(compute_hash)
prefix=$cache_root/$hash
partial=$prefix.partial

finish() { printf '%s\n' "$prefix" >&3; exit 0; }

if [ "$print_only" = 1 ]; then finish; fi
if [ -f "$prefix/.complete" ]; then
  log "up to date: $prefix"
  finish
fi

# ---------------------------------------------------------------------------
# Preconditions
# ---------------------------------------------------------------------------
missing=()
for tool in "$CC_X" "$CXX_X" "$AR_X" "$RANLIB_X" "$OBJDUMP_X" cmake make perl \
            patch flock apt-get apt-cache dpkg-source dpkg-architecture dpkg-parsechangelog \
            sha256sum; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] || die "missing tools: ${missing[*]} (run scripts/install-toolchain.sh as root)"
[ -f "$GOOGLETEST_SRC/CMakeLists.txt" ] || die "$GOOGLETEST_SRC not found (install the googletest package: scripts/install-toolchain.sh)"
[ -f "$MINGW_SYSROOT/lib/libz.a" ] || die "$MINGW_SYSROOT/lib/libz.a not found (install libz-mingw-w64-dev: scripts/install-toolchain.sh)"

mkdir -p "$cache_root" 2>/dev/null || die "cannot create $cache_root (run as root or set RYL_DEPS_CACHE)"
[ -w "$cache_root" ] || die "$cache_root is not writable (run as root or set RYL_DEPS_CACHE)"

# One build per hash at a time; a second caller waits and then reuses it.
exec 9>"$cache_root/$hash.lock"
if ! flock -n 9; then
  log "another build of $hash is running; waiting for it"
  flock 9
fi
if [ -f "$prefix/.complete" ]; then
  log "up to date: $prefix (built by a concurrent run)"
  finish
fi

# Leftovers of earlier interrupted or failed runs: ours, and those of other
# hashes whose lock nobody holds. Finished prefixes are never touched.
rm -rf "$partial" "$cache_root/.work-$hash".*
for other_lock in "$cache_root"/*.lock; do
  [ -e "$other_lock" ] || continue
  other=$(basename "$other_lock" .lock)
  [ "$other" != "$hash" ] || continue
  # Removed while holding that lock, so a build starting now cannot lose them.
  (
    exec 8<"$other_lock"
    flock -n 8 || exit 0
    rm -rf "${cache_root:?}/$other.partial" "$cache_root/.work-$other".*
  )
done
if [ -e "$prefix" ]; then
  log "removing incomplete $prefix"
  rm -rf "$prefix"
fi

start_all=$SECONDS
work=$(mktemp -d "$cache_root/.work-$hash.XXXXXX")
chmod 755 "$work"
mkdir -p "$work/logs" "$work/src" "$partial"

on_exit() {
  local rc=$?
  if [ $rc -ne 0 ]; then
    log "FAILED (exit $rc). Work dir kept for debugging: $work"
    log "(it is removed by the next run; $partial is not a usable prefix)"
  fi
}
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# run_step NAME CMD... : runs CMD with output in $work/logs/NAME.log (or on
# stderr with RYL_DEPS_VERBOSE=1); on failure shows the log's tail.
run_step() {
  local name=$1; shift
  local logf=$work/logs/$name.log
  if [ "${RYL_DEPS_VERBOSE:-0}" = 1 ]; then
    "$@" >&2 || die "step '$name' failed: $*"
  else
    if ! "$@" >>"$logf" 2>&1; then
      log "step '$name' failed: $*"
      log "---- last lines of $logf ----"
      tail -n 60 "$logf" >&2 || true
      die "step '$name' failed (full log: $logf)"
    fi
  fi
}

timed() {
  local what=$1; shift
  local t0=$SECONDS
  log "$what ..."
  "$@"
  log "$what done ($((SECONDS - t0)) s)"
}

# Every member of a static library must be an i686 Windows object.
check_pe_i386() {
  local lib=$1 formats
  [ -f "$lib" ] || die "expected library not produced: $lib"
  formats=$("$OBJDUMP_X" -f "$lib" | sed -n 's/.*file format //p' | sort -u)
  [ "$formats" = "pe-i386" ] || die "$lib is not pure pe-i386 (formats: ${formats:-none})"
}

# ---------------------------------------------------------------------------
# Source packages
# ---------------------------------------------------------------------------
# (Output is captured first: grep -q closing the pipe early would make
# apt-cache die of SIGPIPE, which pipefail reports as a failure.)
src_versions() {  # src_versions NAME: the versions apt can fetch, one a line
  local out
  out=$(apt-cache showsrc --only-source "$1" 2>/dev/null) || true
  printf '%s\n' "$out" | sed -n 's/^Version: //p'
}

have_source_index() {
  [ -n "$(src_versions openssl)" ]
}

ensure_deb_src() {
  have_source_index && return 0
  [ "$(id -u)" -eq 0 ] || die "apt has no source package index (no deb-src entries); run once as root to set it up"
  local d822=/etc/apt/sources.list.d/debian.sources
  if [ -f "$d822" ]; then
    if grep -Eq '^Types:' "$d822" && grep -E '^Types:' "$d822" | grep -v deb-src >/dev/null; then
      log "adding deb-src to the Types lines of $d822"
      sed -i -E '/^Types:/{/deb-src/!s/^Types:(.*)$/Types:\1 deb-src/}' "$d822"
    fi
  elif grep -Eq '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list 2>/dev/null; then
    local extra=/etc/apt/sources.list.d/rylutil-deb-src.list
    log "writing $extra with deb-src twins of /etc/apt/sources.list"
    sed -n -E 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$extra"
  else
    die "no apt sources found to derive deb-src entries from"
  fi
  log "apt-get update"
  run_step apt-update apt-get update -q
  have_source_index || die "still no source package index after adding deb-src and apt-get update"
}

updated_once=0
check_pin_listed() {
  local name=$1 ver=$2
  if ! src_versions "$name" | grep -xF -- "$ver" >/dev/null; then
    if [ $updated_once = 0 ] && [ "$(id -u)" -eq 0 ]; then
      updated_once=1
      log "$name $ver not in the source index; running apt-get update once"
      run_step apt-update apt-get update -q
    fi
  fi
  if ! src_versions "$name" | grep -xF -- "$ver" >/dev/null; then
    local avail
    avail=$(src_versions "$name" | paste -sd ' ')
    die "pinned source $name=$ver is not available from apt (available: ${avail:-none}). Update the pin in deps/build.sh deliberately."
  fi
}

fetch_source() {  # fetch_source NAME VERSION DIR
  local name=$1 ver=$2 dir=$3 dsc
  check_pin_listed "$name" "$ver"
  if ! (cd "$work/src" && apt-get source --download-only "$name=$ver") >>"$work/logs/fetch-$name.log" 2>&1; then
    tail -n 20 "$work/logs/fetch-$name.log" >&2 || true
    die "could not download pinned source $name=$ver. Refusing to use another version; update the pin in deps/build.sh deliberately."
  fi
  # The .dsc name carries the version without its epoch.
  dsc=$work/src/${name}_${ver#*:}.dsc
  [ -f "$dsc" ] || die "downloaded $name=$ver but $dsc is missing"
  if ! (cd "$work/src" && dpkg-source -x "$dsc" "$dir") >>"$work/logs/fetch-$name.log" 2>&1; then
    log "dpkg-source -x $name failed; retrying with --no-check (apt already verified the files against the signed index)"
    rm -rf "${work:?}/src/$dir"
    (cd "$work/src" && dpkg-source --no-check -x "$dsc" "$dir") >>"$work/logs/fetch-$name.log" 2>&1 \
      || { tail -n 20 "$work/logs/fetch-$name.log" >&2; die "could not unpack $dsc"; }
  fi
}

# Applies deps/patches/<package>-*.patch (sorted) with patch -p1 in DIR.
apply_patches() {  # apply_patches PACKAGE DIR
  local pkg=$1 dir=$2 p
  [ -d "$patch_dir" ] || return 0
  while IFS= read -r -d '' p; do
    log "applying $(basename "$p") to $pkg"
    patch -d "$dir" -p1 --batch --forward <"$p" >>"$work/logs/patch-$pkg.log" 2>&1 \
      || { cat "$work/logs/patch-$pkg.log" >&2; die "patch $(basename "$p") does not apply to $pkg"; }
  done < <(find "$patch_dir" -maxdepth 1 -type f -name "$pkg-*.patch" -print0 | LC_ALL=C sort -z)
}

# Patches whose name matches no package would be silently ignored; refuse.
check_patch_names() {
  [ -d "$patch_dir" ] || return 0
  local p base pkg ok
  while IFS= read -r -d '' p; do
    base=$(basename "$p"); ok=0
    for pkg in "${KNOWN_PACKAGES[@]}"; do
      case $base in "$pkg"-*.patch) ok=1 ;; esac
    done
    [ $ok = 1 ] || die "deps/patches/$base names no known package (${KNOWN_PACKAGES[*]})"
  done < <(find "$patch_dir" -maxdepth 1 -type f -name '*.patch' -print0)
}

# ---------------------------------------------------------------------------
# Build configuration
# ---------------------------------------------------------------------------
# Keep the work dir's random name out of the objects (__FILE__ etc.).
CFLAGS_X="-O2 -ffile-prefix-map=$work=/rylutil-deps-build"
CXXFLAGS_X=$CFLAGS_X
BUILD_TRIPLET=$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)

cmake_generator=()
if command -v ninja >/dev/null 2>&1; then cmake_generator=(-G Ninja); fi

cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER $(command -v "$CC_X"))
set(CMAKE_CXX_COMPILER $(command -v "$CXX_X"))
set(CMAKE_RC_COMPILER $(command -v "$WINDRES_X" || echo "$WINDRES_X"))
set(CMAKE_AR $(command -v "$AR_X") CACHE FILEPATH "")
set(CMAKE_RANLIB $(command -v "$RANLIB_X") CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH $MINGW_SYSROOT)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

cmake_common=(
  "${cmake_generator[@]}"
  -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_C_FLAGS_RELEASE="$CFLAGS_X -DNDEBUG"
  -DCMAKE_CXX_FLAGS_RELEASE="$CXXFLAGS_X -DNDEBUG"
  -DCMAKE_INSTALL_PREFIX="$partial"
  -DCMAKE_INSTALL_LIBDIR=lib
  -DCMAKE_INSTALL_INCLUDEDIR=include
  -DBUILD_SHARED_LIBS=OFF
)

# ---------------------------------------------------------------------------
# Builds
# ---------------------------------------------------------------------------
build_openssl() {
  local src=$work/src/openssl
  fetch_source openssl "$OPENSSL_PIN" openssl
  # Debian's pic.patch rewrites the x86 assembly for ELF (GOT/PLT
  # relocations), which COFF cannot represent; take it back out.
  if grep -qx 'pic.patch' "$src/debian/patches/series"; then
    run_step openssl-unpic patch -d "$src" -R -p1 --batch -i "$src/debian/patches/pic.patch"
  fi
  apply_patches openssl "$src"
  # Configure composes $(CROSS_COMPILE)$(CC): i686-w64-mingw32- + gcc-posix.
  # Plain -O2: OpenSSL compiles with relative paths anyway, and it embeds its
  # flags in the library (OpenSSL_version), where a work dir name would vary.
  run_step openssl-configure bash -c 'cd "$1" && shift && perl ./Configure "$@"' _ "$src" \
    mingw --cross-compile-prefix="$TRIPLET-" CC=gcc-posix CFLAGS="-O2" \
    no-shared no-tests no-engine no-module \
    --prefix="$partial" --libdir=lib
  grep -q "^CC=\$(CROSS_COMPILE)gcc-posix" "$src/Makefile" || die "OpenSSL Makefile does not use gcc-posix"
  local dirs=(OPENSSLDIR="$OPENSSL_WIN_OPENSSLDIR" ENGINESDIR="$OPENSSL_WIN_ENGINESDIR"
              MODULESDIR="$OPENSSL_WIN_MODULESDIR")
  # Its "built on" stamp then comes from the package's changelog, not the
  # clock, so the same inputs give the same library.
  SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp) \
    || die "cannot read the date of $src/debian/changelog"
  export SOURCE_DATE_EPOCH
  run_step openssl-build make -C "$src" -j"$jobs" build_libs "${dirs[@]}"
  run_step openssl-install make -C "$src" install_dev "${dirs[@]}"
  check_pe_i386 "$partial/lib/libcrypto.a"
  check_pe_i386 "$partial/lib/libssl.a"
}

build_expat() {
  local src=$work/src/expat bld=$work/build-expat
  fetch_source expat "$EXPAT_PIN" expat
  apply_patches expat "$src"
  [ -f "$src/expat/CMakeLists.txt" ] || die "expat source has no expat/CMakeLists.txt"
  run_step expat-configure cmake -S "$src/expat" -B "$bld" "${cmake_common[@]}" \
    -DEXPAT_CHAR_TYPE=wchar_t -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF -DEXPAT_BUILD_PKGCONFIG=ON
  # Debian's security backports test "#if XML_DTD == 1", as upstream does
  # from 2.6 on; 2.5.0's CMake template defines XML_DTD and XML_NS empty (its
  # autotools build, which Debian uses, defines them to 1). Give them the
  # value 1 so the backports compile as they do in Debian.
  local cfg=$bld/expat_config.h
  [ -f "$cfg" ] || die "expat configure produced no $cfg"
  sed -i -E 's/^#define (XML_DTD|XML_NS)[[:space:]]*$/#define \1 1/' "$cfg"
  grep -qx '#define XML_DTD 1' "$cfg" || die "could not set XML_DTD to 1 in $cfg"
  run_step expat-build cmake --build "$bld" -j "$jobs"
  run_step expat-install cmake --install "$bld"
  check_pe_i386 "$partial/lib/libexpatw.a"
}

build_pcre() {
  local src=$work/src/pcre3
  fetch_source pcre3 "$PCRE3_PIN" pcre3
  apply_patches pcre3 "$src"
  # Debian's patches touch configure.ac and Makefile.am; make the shipped
  # generated files newer again so make does not try to rerun autotools.
  local f
  for f in aclocal.m4 configure config.h.in Makefile.in; do
    [ -e "$src/$f" ] && touch "$src/$f"
  done
  run_step pcre-configure bash -c 'cd "$1" && shift && ./configure "$@"' _ "$src" \
    --build="$BUILD_TRIPLET" --host="$TRIPLET" \
    CC="$CC_X" AR="$AR_X" RANLIB="$RANLIB_X" CFLAGS="$CFLAGS_X" \
    --prefix="$partial" --libdir="$partial/lib" \
    --disable-shared --enable-static --disable-cpp \
    --enable-pcre8 --enable-pcre16 --enable-utf --enable-unicode-properties \
    --enable-jit
  # configure quietly drops the JIT on targets it does not know; the module
  # would still work, on the interpreter only, so insist on it here.
  grep -q '^#define SUPPORT_JIT' "$src/config.h" || die "PCRE was configured without its JIT"
  run_step pcre-build make -C "$src" -j"$jobs" libpcre.la libpcre16.la
  run_step pcre-install make -C "$src" install-libLTLIBRARIES install-includeHEADERS install-nodist_includeHEADERS
  rm -f "$partial"/lib/libpcre*.la
  check_pe_i386 "$partial/lib/libpcre.a"
  check_pe_i386 "$partial/lib/libpcre16.a"
  [ -f "$partial/include/pcre.h" ] || die "pcre.h not installed"
}

build_bzip2() {
  local src=$work/src/bzip2
  fetch_source bzip2 "$BZIP2_PIN" bzip2
  apply_patches bzip2 "$src"
  run_step bzip2-build make -C "$src" -j"$jobs" libbz2.a \
    CC="$CC_X" AR="$AR_X" RANLIB="$RANLIB_X" CFLAGS="$CFLAGS_X -Wall -Winline -D_FILE_OFFSET_BITS=64"
  install -D -m 644 "$src/libbz2.a" "$partial/lib/libbz2.a"
  install -D -m 644 "$src/bzlib.h" "$partial/include/bzlib.h"
  "$RANLIB_X" "$partial/lib/libbz2.a"
  check_pe_i386 "$partial/lib/libbz2.a"
}

# liblzma alone, single-threaded: the module decodes LZMA and xz one entry at
# a time on the caller's thread.
build_xz() {
  local src=$work/src/xz-utils
  fetch_source xz-utils "$XZ_PIN" xz-utils
  apply_patches xz-utils "$src"
  local f
  for f in aclocal.m4 configure config.h.in Makefile.in; do
    [ -e "$src/$f" ] && touch "$src/$f"
  done
  find "$src" -name Makefile.in -exec touch {} +
  run_step xz-configure bash -c 'cd "$1" && shift && ./configure "$@"' _ "$src" \
    --build="$BUILD_TRIPLET" --host="$TRIPLET" \
    CC="$CC_X" AR="$AR_X" RANLIB="$RANLIB_X" CFLAGS="$CFLAGS_X" \
    --prefix="$partial" --libdir="$partial/lib" \
    --disable-shared --enable-static --enable-threads=no \
    --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
    --disable-scripts --disable-doc --disable-nls
  run_step xz-build make -C "$src/src/liblzma" -j"$jobs"
  run_step xz-install make -C "$src/src/liblzma" install
  rm -f "$partial"/lib/liblzma.la
  check_pe_i386 "$partial/lib/liblzma.a"
  [ -f "$partial/include/lzma.h" ] || die "lzma.h not installed"
}

# libzstd alone, static, without the legacy formats (no ZIP writer ever
# produced them) and without threads.
build_zstd() {
  local src=$work/src/libzstd bld=$work/build-zstd
  fetch_source libzstd "$ZSTD_PIN" libzstd
  apply_patches libzstd "$src"
  run_step zstd-configure cmake -S "$src/build/cmake" -B "$bld" "${cmake_common[@]}" \
    -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_BUILD_CONTRIB=OFF \
    -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_STATIC=ON -DZSTD_MULTITHREAD_SUPPORT=OFF \
    -DZSTD_LEGACY_SUPPORT=OFF -DZSTD_PROGRAMS_LINK_SHARED=OFF
  run_step zstd-build cmake --build "$bld" -j "$jobs"
  run_step zstd-install cmake --install "$bld"
  check_pe_i386 "$partial/lib/libzstd.a"
  [ -f "$partial/include/zstd.h" ] || die "zstd.h not installed"
}

build_googletest() {
  local src=$work/src/googletest bld=$work/build-googletest
  cp -a "$GOOGLETEST_SRC/." "$src/"
  apply_patches googletest "$src"
  run_step googletest-configure cmake -S "$src" -B "$bld" "${cmake_common[@]}" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF \
    -Dgtest_build_tests=OFF -Dgtest_build_samples=OFF -Dgmock_build_tests=OFF
  run_step googletest-build cmake --build "$bld" -j "$jobs"
  run_step googletest-install cmake --install "$bld"
  local l
  for l in gtest gtest_main gmock gmock_main; do check_pe_i386 "$partial/lib/lib$l.a"; done
}

log "building into $prefix ($jobs jobs; logs in $work/logs)"
check_patch_names
ensure_deb_src
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
  chown _apt "$work/src"   # lets apt download without leaving its sandbox
fi

timed "OpenSSL $OPENSSL_PIN" build_openssl
timed "expat $EXPAT_PIN (UTF-16)" build_expat
timed "PCRE $PCRE3_PIN (8 and 16 bit)" build_pcre
timed "bzip2 $BZIP2_PIN" build_bzip2
timed "xz-utils $XZ_PIN (liblzma)" build_xz
timed "libzstd $ZSTD_PIN" build_zstd
timed "GoogleTest $(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo '?')" build_googletest

# Installed text files (pkg-config, CMake, scripts) name the .partial path.
grep -rlIF -- "$partial" "$partial" 2>/dev/null | while IFS= read -r f; do
  sed -i "s|$partial|$prefix|g" "$f"
done

{
  echo "hash=$hash"
  echo "openssl=$OPENSSL_PIN"
  echo "expat=$EXPAT_PIN"
  echo "pcre3=$PCRE3_PIN"
  echo "bzip2=$BZIP2_PIN"
  echo "xz-utils=$XZ_PIN"
  echo "libzstd=$ZSTD_PIN"
  echo "googletest=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)"
  echo "zlib=libz-mingw-w64-dev $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null || echo unknown) (system, not in this prefix)"
  echo "compiler=$("$CC_X" --version | head -n1)"
  echo "built=$(date -u +%Y-%m-%dT%H:%M:%SZ)"
} >"$partial/.complete"
mv -T "$partial" "$prefix"
trap - EXIT
rm -rf "$work"
log "done in $((SECONDS - start_all)) s: $prefix"
finish
exit 0
}
