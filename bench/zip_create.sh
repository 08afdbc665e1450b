#!/usr/bin/env bash
# Archive-creation benchmark, run by hand on the Linux side (never by the
# test run): the extraction benchmark's tree of mixed files (about 200 MiB,
# bench/mixed_tree.py, fixed seed) archived by `rylcli zip create -6` under
# Wine, Info-ZIP `zip -6 -r -q` and `7z a -tzip -mx=5` natively, in one run,
# each several times. Prints the median wall-clock times, the archive sizes
# and the ratios to zip (goal: rylcli no slower than zip -6 and within 1% of
# its size), and checks rylcli's archive with unzip -t.
#
# Build first (a normal build has rylcli.exe):  scripts/build.sh
# then run:
#   bench/zip_create.sh [BUILD_DIR [WORK_DIR [RUNS]]]
# BUILD_DIR defaults to build/, WORK_DIR to /tmp/ryl-zipbench (about 700 MiB
# free space needed; the tree is made once and reused), RUNS to 5.
# RYL_BENCH_MIB sets the tree's size in MiB (default 200).
# RYL_BENCH_RUNNER runs rylcli instead of cmake/wine-run.sh (its prefix's
# server is then yours to keep running, e.g. with `wineserver -p`). A runner
# that emulates the processor (qemu-user) makes rylcli's times meaningless:
# such a run shows only that the benchmark works.
# Needs zip, unzip, 7z (p7zip-full), python3 and Wine.
set -euo pipefail

HERE=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$HERE/build}" && pwd)
WORK=${2:-/tmp/ryl-zipbench}
RUNS=${3:-5}
MIB=${RYL_BENCH_MIB:-200}
RUNNER=${RYL_BENCH_RUNNER:-$HERE/cmake/wine-run.sh}
RYLCLI=$BUILD/bin/rylcli.exe
export RYL_WINEPREFIX=${RYL_WINEPREFIX:-$BUILD/wineprefix}

for tool in zip unzip 7z python3; do
  command -v "$tool" >/dev/null || { echo "zip_create: $tool is missing" >&2; exit 1; }
done
[ -f "$RYLCLI" ] || { echo "zip_create: no $RYLCLI; build first" >&2; exit 1; }
"$RUNNER" --check || { echo "zip_create: $RUNNER cannot run rylcli here" >&2; exit 1; }
mkdir -p "$WORK"

. "$HERE/bench/zip_bench_common.sh"

median() { python3 -c "import statistics, sys; print('%.3f' % statistics.median(map(float, sys.argv[1:])))" "$@"; }

# --- input (fixed seed; made once) ------------------------------------------------
tree=$WORK/create-tree-$MIB
if [ ! -f "$tree.done" ]; then
  echo "generating about $MIB MiB of mixed files ..."
  rm -rf "$tree"
  python3 "$HERE/bench/mixed_tree.py" "$tree/tree" "$MIB"
  touch "$tree.done"
fi
files=$(find "$tree/tree" -type f | wc -l)
bytes=$(find "$tree/tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo "tree: $files files, $(python3 -c "print('%.1f' % ($bytes / 1048576))") MiB"

# --- creation ---------------------------------------------------------------------
if [ "$RUNNER" = "$HERE/cmake/wine-run.sh" ]; then
  # A running server, so that rylcli's time is its own and not Wine's start-up.
  "$RUNNER" --setup
  trap '"$RUNNER" --shutdown' EXIT
fi
# Every tool archives the directory "tree" from its parent, so that the
# entry names are the same ("tree/...") in all three archives.
out_rylcli=$tree/rylcli.zip
out_zip=$tree/infozip.zip
out_7z=$tree/7z.zip
# One untimed pass to warm the page cache alike for all.
find "$tree/tree" -type f -exec cat {} + >/dev/null
t_rylcli=() t_zip=() t_7z=()
for ((run = 1; run <= RUNS; run++)); do
  rm -f "$out_rylcli" "$out_zip" "$out_7z"
  t=$(seconds "$RUNNER" "$RYLCLI" zip create -6 "$(win "$out_rylcli")" "$(win "$tree/tree")")
  t_rylcli+=("$t")
  cp "$WORK/last.err" "$WORK/rylcli-create.err"
  t=$(seconds sh -c "cd '$tree' && zip -6 -r -q '$out_zip' tree")
  t_zip+=("$t")
  t=$(seconds sh -c "cd '$tree' && 7z a -tzip -mx=5 '$out_7z' tree")
  t_7z+=("$t")
  echo "  run $run: rylcli ${t_rylcli[-1]} s, zip ${t_zip[-1]} s, 7z ${t_7z[-1]} s"
done

if unzip -tq "$out_rylcli" >"$WORK/unzip-t.out" 2>&1 && ! grep -qi warning "$WORK/unzip-t.out"; then
  tested="unzip -t passes"
else
  tested="unzip -t FAILS (see $WORK/unzip-t.out)"
fi
entries_rylcli=$(unzip -Z1 "$out_rylcli" | wc -l)
entries_zip=$(unzip -Z1 "$out_zip" | wc -l)

m_rylcli=$(median "${t_rylcli[@]}")
m_zip=$(median "${t_zip[@]}")
m_7z=$(median "${t_7z[@]}")
s_rylcli=$(stat -c %s "$out_rylcli")
s_zip=$(stat -c %s "$out_zip")
s_7z=$(stat -c %s "$out_7z")
echo
echo "create from $files files ($bytes bytes), median of $RUNS runs:"
printf '  %-32s %8s s %12s bytes\n' "rylcli zip create -6 (Wine)" "$m_rylcli" "$s_rylcli" \
  "zip -6 -r -q (native)" "$m_zip" "$s_zip" "7z a -tzip -mx=5 (native)" "$m_7z" "$s_7z"
python3 -c "
r, z, s = $m_rylcli, $m_zip, $m_7z
rs, zs, ss = $s_rylcli, $s_zip, $s_7z
print('  time: rylcli / zip = %.2f   rylcli / 7z = %.2f   (goal: rylcli / zip <= 1.00)' % (r / z, r / s))
print('  size: rylcli / zip = %.4f  rylcli / 7z = %.4f  (goal: rylcli / zip <= 1.01)' % (rs / zs, rs / ss))
print('  compression: rylcli %.1f%%, zip %.1f%%, 7z %.1f%% of %d bytes' % (100 * rs / $bytes, 100 * zs / $bytes, 100 * ss / $bytes, $bytes))"
echo "  rylcli's archive: $entries_rylcli entries (zip's: $entries_zip); $tested"
echo "  rylcli printed $(grep -c '^progress:' "$WORK/rylcli-create.err" || true) progress lines on its last run"
case "$RUNNER" in
  "$HERE/cmake/wine-run.sh") ;;
  *) echo "  (rylcli ran through $RUNNER: if that emulates the processor, its times mean nothing)" ;;
esac
rm -f "$out_rylcli" "$out_zip" "$out_7z"
