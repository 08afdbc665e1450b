#!/usr/bin/env bash
# The whole test suite: install, build, run a short round of every fuzz
# target of the portable core on the Linux host and the white-box suites of
# that core natively with the address and undefined-behaviour sanitizers (and
# the multi-threaded ones again with the thread sanitizer), then every test
# executable under Wine through CTest (all but those labelled slow). Ends
# with CTest's summary line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_BUILD_DIR:-$root/build}
export RYL_BUILD_DIR=$build

"$root/scripts/build.sh"
# The SDK archive, made as a release would make it, and checked whole.
dist=$(RYL_DIST_DIR="$build/dist" "$root/scripts/dist.sh" | tail -n 1)
(cd "$(dirname "$dist")" && sha256sum --quiet -c "$(basename "$dist").sha256")
unzip -tq "$dist"
fuzz_build=${RYL_FUZZ_BUILD_DIR:-$build-fuzz}
RYL_FUZZ_BUILD_DIR=$fuzz_build "$root/fuzz/run.sh"
cmake --build "$fuzz_build" -j "$(nproc)" --target portable_tests
"$fuzz_build/bin/portable_tests" --gtest_brief=1
# The XML writer's output read back by Python's parsers, and the parser's
# events held against Python's expat bindings over a generated corpus.
cmake --build "$fuzz_build" -j "$(nproc)" --target xml_writer_roundtrip xml_events
python3 "$root/tests/xml/writer_roundtrip.py" "$fuzz_build/bin/xml_writer_roundtrip"
python3 "$root/tests/xml/parser_differential.py" "$fuzz_build/bin/xml_events"
# The library's RSA keys against the openssl command line at 1024, 2048 and
# 4096 bits: signatures and encryption, both ways.
cmake --build "$fuzz_build" -j "$(nproc)" --target rsa_tool
python3 "$root/tests/crypto/rsa_openssl_interop.py" "$fuzz_build/bin/rsa_tool"
# The ZIP methods beyond deflate (WinZip AES, LZMA, zstd, xz, bzip2) against
# 7-Zip, bsdtar, Python's zipfile and the zstd tool, and the test archives of
# Debian's libarchive and libzip source packages (fetched once).
cmake --build "$fuzz_build" -j "$(nproc)" --target zip_tool
"$root/tests/zip/third_party_corpus.sh" "$fuzz_build/zip-corpus"
python3 "$root/tests/zip/methods_interop.py" "$fuzz_build/bin/zip_tool" "$fuzz_build/zip-interop" "$fuzz_build/zip-corpus"
# The suites of the code that runs on several threads (dispatchers, the event
# loop and its wakers, waits beyond 64 handles) once more under the thread
# sanitizer; fuzz/run.sh installed the compiler.
race_build=${RYL_RACE_BUILD_DIR:-$build-race}
cmake -S "$root" -B "$race_build" -G Ninja -DRYL_PORTABLE_BUILD=ON -DRYL_THREAD_SANITIZER=ON \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$race_build" -j "$(nproc)" --target race_tests
"$race_build/bin/race_tests" --gtest_brief=1
# Tests labelled slow (minutes each) run on request: ctest -L slow.
#
# Wine runs our 32-bit programs only where the kernel runs 32-bit code. On a
# machine whose kernel does not, RYL_WINE_VM=on runs the Wine tests inside a
# small emulated machine whose kernel does (scripts/wine-vm.sh), with the
# repository shared at its own path; the checks of the DLL's surface need the
# cross binutils and run here first. The emulated run takes about forty
# minutes on two cores, so it is asked for rather than automatic; without it
# the Wine tests report themselves skipped there.
host_only='^(layers|dll_surface|import_libraries|package_layout)$'
case "$build" in "$root"/*) build_in_root=1 ;; *) build_in_root=0 ;; esac
if ! "$root/cmake/wine-run.sh" --check >/dev/null 2>&1 && [ "${RYL_WINE_VM:-off}" = on ] &&
   [ "$build_in_root" = 1 ] && "$root/scripts/wine-vm.sh" --usable; then
  ctest --test-dir "$build" --output-on-failure -R "$host_only"
  # The prefix lives on the machine's own disk: Wine makes it much faster
  # there than through the shared directory, and unlike a memory file system
  # of this kernel the disk keeps the extended attributes in which Wine
  # stores the hidden and system attributes. The second drive of the file
  # tests gets a small disk of its own for the same reason.
  "$root/scripts/wine-vm.sh" --run "$root" \
    "mkdir -p '$build/wineprefix' /var/ryl-wineprefix && mount --bind /var/ryl-wineprefix '$build/wineprefix' &&
     modprobe loop 2>/dev/null; truncate -s 256M /var/ryl-other.img && mkfs.ext4 -q /var/ryl-other.img && mkdir -p /mnt/ryl-other &&
     mount -o loop /var/ryl-other.img /mnt/ryl-other &&
     RYL_FS_OTHER_ROOT=/mnt/ryl-other ctest --test-dir '$build' --output-on-failure -j 2 -LE slow -E '$host_only'"
else
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE slow
fi
