#!/usr/bin/env bash
# Extraction and large-archive benchmarks for rylcli and the ZIP reader, run
# by hand on the Linux side (never by the test run).
#
# 1. About 200 MiB of mixed text and binary files, generated from a fixed
#    seed, zipped with `zip -6 -r`, then extracted in one run, each into a
#    fresh directory, by `rylcli zip extract` under Wine (one worker, then
#    one per processor), Info-ZIP `unzip` and `7z x` natively. Prints each
#    wall-clock time and the ratios (goals: one worker no slower than unzip;
#    the workers 1.5x unzip and 1.0x 7z), and checks that both of rylcli's
#    trees are identical to unzip's.
# 2. An archive of 100,000 small entries (Python's zipfile), opened and
#    walked by bench/zip_open_bench.exe, which prints its own times and peak
#    memory (goals: open + count under 1 s, peak under 64 MiB), and listed
#    by `rylcli zip list`.
#
# Build first, with the benchmarks:
#   cmake -S . -B /tmp/build-zipbench -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-i686-w64-mingw32.cmake \
#     -DRYL_DEPS_PREFIX=$(deps/build.sh --print-prefix) -DRYL_BUILD_BENCH=ON
#   ninja -C /tmp/build-zipbench
# then run:
#   bench/zip_extract_bench.sh [BUILD_DIR [WORK_DIR]]
# BUILD_DIR defaults to /tmp/build-zipbench, WORK_DIR to /tmp/ryl-zipbench
# (about 1 GiB free space needed; generated inputs are reused between runs).
# A normal build without -DRYL_BUILD_BENCH=ON has rylcli but no
# zip_open_bench.exe: the extraction timings then run alone and the open
# benchmark is skipped.
# Needs zip, unzip, 7z (p7zip-full), python3 and Wine.
set -euo pipefail

HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-/tmp/build-zipbench}" && pwd)
WORK=${2:-/tmp/ryl-zipbench}
WINE_RUN=$HERE/cmake/wine-run.sh
RYLCLI=$BUILD/bin/rylcli.exe
OPEN_BENCH=$BUILD/bin/zip_open_bench.exe
export RYL_WINEPREFIX=${RYL_WINEPREFIX:-$BUILD/wineprefix}

for tool in zip unzip 7z python3; do
  command -v "$tool" >/dev/null || { echo "zip_extract_bench: $tool is missing" >&2; exit 1; }
done
[ -f "$RYLCLI" ] || { echo "zip_extract_bench: no $RYLCLI; build first" >&2; exit 1; }
mkdir -p "$WORK"

. "$HERE/bench/zip_bench_common.sh"

# --- inputs (fixed seed; made once) -----------------------------------------
if [ ! -f "$WORK/mixed.zip" ]; then
  echo "generating about 200 MiB of mixed files ..."
  rm -rf "$WORK/tree"
  python3 "$HERE/bench/mixed_tree.py" "$WORK/tree" 200
  (cd "$WORK/tree" && zip -q -6 -r "$WORK/mixed.zip.part" .)
  mv "$WORK/mixed.zip.part" "$WORK/mixed.zip"
fi
if [ ! -f "$WORK/many.zip" ]; then
  echo "generating an archive of 100,000 small entries ..."
  python3 - "$WORK/many.zip.part" <<'PY'
import random, sys, zipfile
rng = random.Random(100000)
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    for i in range(100000):
        z.writestr("dir%03d/entry%06d.txt" % (i % 500, i), ("line %d %d\n" % (i, rng.randrange(10**9))) * rng.randint(1, 8))
PY
  mv "$WORK/many.zip.part" "$WORK/many.zip"
fi

entries=$(unzip -Z1 "$WORK/mixed.zip" | wc -l)
unpacked=$(unzip -Zt "$WORK/mixed.zip" | sed -n 's/.* \([0-9]*\) bytes uncompressed.*/\1/p')
echo "mixed.zip: $(stat -c %s "$WORK/mixed.zip") bytes, $entries entries, $unpacked bytes unpacked"

# --- extraction ----------------------------------------------------------------
# A running server, so that rylcli's time is its own and not Wine's start-up.
"$WINE_RUN" --setup
# One untimed run of each to warm the page cache alike.
rm -rf "$WORK/out-warm" && unzip -q "$WORK/mixed.zip" -d "$WORK/out-warm" && rm -rf "$WORK/out-warm"

rm -rf "$WORK/out-rylcli" "$WORK/out-rylcli-workers" "$WORK/out-unzip" "$WORK/out-7z"
t_rylcli=$(seconds "$WINE_RUN" "$RYLCLI" zip extract "$(win "$WORK/mixed.zip")" "$(win "$WORK/out-rylcli")")
cp "$WORK/last.err" "$WORK/rylcli-extract.err"
t_unzip=$(seconds unzip -q "$WORK/mixed.zip" -d "$WORK/out-unzip")
t_7z=$(seconds 7z x -y "-o$WORK/out-7z" "$WORK/mixed.zip")
# The workers path, one per processor, into a tree of its own that must
# come out identical too.
workers=$(nproc)
rm -rf "$WORK/out-rylcli-workers"
t_workers=$(seconds "$WINE_RUN" "$RYLCLI" zip extract --threads "$workers" "$(win "$WORK/mixed.zip")" \
  "$(win "$WORK/out-rylcli-workers")")
if diff -r -q "$WORK/out-unzip" "$WORK/out-rylcli-workers" >"$WORK/diff-workers.txt"; then
  same_workers=identical
else
  same_workers="DIFFERENT (see $WORK/diff-workers.txt)"
fi

progress_lines=$(grep -c '^progress:' "$WORK/rylcli-extract.err" || true)
if diff -r -q "$WORK/out-unzip" "$WORK/out-rylcli" >"$WORK/diff.txt"; then same=identical; else same="DIFFERENT (see $WORK/diff.txt)"; fi
echo
echo "extract $(python3 -c "print('%.1f' % ($unpacked / 1048576))") MiB in $entries entries:"
echo "  rylcli zip extract (Wine): $t_rylcli s"
echo "  rylcli zip extract --threads $workers (Wine): $t_workers s, tree $same_workers"
echo "  unzip (native):            $t_unzip s"
echo "  7z x (native):             $t_7z s"
python3 -c "
r, u, s, w = $t_rylcli, $t_unzip, $t_7z, $t_workers
print('  rylcli / unzip = %.2f   rylcli / 7z = %.2f   (goal: rylcli / unzip <= 1.00)' % (r / u, r / s))
print('  with workers: unzip / rylcli = %.2f   7z / rylcli = %.2f   (goals: 1.5 and 1.0)' % (u / w, s / w))"
echo "  rylcli's tree against unzip's: $same; rylcli printed $progress_lines progress lines:"
sed 's/^/    /' "$WORK/rylcli-extract.err"
rm -rf "$WORK/out-rylcli" "$WORK/out-rylcli-workers" "$WORK/out-unzip" "$WORK/out-7z"

# --- 100,000 entries -----------------------------------------------------------
echo
echo "many.zip: $(stat -c %s "$WORK/many.zip") bytes, 100000 entries"
if [ -f "$OPEN_BENCH" ]; then
  "$WINE_RUN" "$OPEN_BENCH" "$(win "$WORK/many.zip")" | sed 's/^/  /'
else
  echo "  (no $OPEN_BENCH: configure with -DRYL_BUILD_BENCH=ON for the open benchmark)"
fi
t_list=$(seconds "$WINE_RUN" "$RYLCLI" zip list "$(win "$WORK/many.zip")")
t_unzip_list=$(seconds unzip -l "$WORK/many.zip")
echo "  rylcli zip list (Wine, whole process): $t_list s; unzip -l (native): $t_unzip_list s"
"$WINE_RUN" --shutdown
