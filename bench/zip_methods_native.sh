#!/usr/bin/env bash
# Builds bench/zip_methods_bench.cpp for the Linux host and runs it: the
# same measurements as the Windows benchmark, on a machine that cannot run
# 32-bit Windows code.
#
#   bench/zip_methods_native.sh [BUILD_DIR]     (default build-bench-native/)
#
# The library's static targets come from the portable configuration, whose
# every target is instrumented for the fuzzers; a compiler launcher drops
# the sanitizer and coverage flags, so that what is timed is plain -O2 code
# against the host's libcrypto and libzstd (libssl-dev, libzstd-dev), as the
# peers are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$root/build-bench-native}" && cd "${1:-$root/build-bench-native}" && pwd)

launcher=$build/without-sanitizers.sh
cat >"$launcher" <<'LAUNCHER'
#!/usr/bin/env bash
args=()
for a in "$@"; do
  case "$a" in -fsanitize*|-fno-sanitize-recover*) ;; *) args+=("$a") ;; esac
done
exec "${args[@]}"
LAUNCHER
chmod +x "$launcher"

cmake -S "$root" -B "$build" -G Ninja -DRYL_PORTABLE_BUILD=ON -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_COMPILER_LAUNCHER="$launcher" -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" \
  -DCMAKE_C_LINKER_LAUNCHER="$launcher" -DCMAKE_CXX_LINKER_LAUNCHER="$launcher" >/dev/null
libraries=(ryl_codec ryl_sys_codec ryl_streams ryl_sys ryl_core)
cmake --build "$build" -j 2 -- "${libraries[@]}"

# The include roots each library target sees (cmake/RylTargets.cmake).
includes=(-I"$root/include")
for library in "${libraries[@]}"; do includes+=(-I"$build/include-roots/$library"); done
archives=()
for library in "${libraries[@]}" ryl_sys ryl_core; do archives+=("$build/lib/lib$library.a"); done
clang++-14 -std=c++20 -O2 -DOPENSSL_API_COMPAT=0x10100000L "${includes[@]}" "$root/bench/zip_methods_bench.cpp" \
  "${archives[@]}" -lzstd -lcrypto -llzma -lbz2 -lz -lpthread -o "$build/zip_methods_bench"
"$build/zip_methods_bench"
