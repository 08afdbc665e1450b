# Sourced by the rylcli benchmarks (zip_extract_bench.sh, zip_create.sh);
# they set WORK first.

# A Linux path as Wine's Z: drive shows it.
win() { echo "Z:${1//\//\\}"; }

# Wall-clock seconds of a command. Its output goes to a file, not /dev/null:
# under Wine a line written to /dev/null costs far more than one written to a
# file or pipe (a 100,000-line listing took 5 s against 0.6 s), which would
# time Wine's device handling rather than the program.
seconds() {
  local start stop
  start=$(date +%s.%N)
  "$@" >"$WORK/last.out" 2>"$WORK/last.err" || { echo "failed: $*" >&2; cat "$WORK/last.err" >&2; exit 1; }
  stop=$(date +%s.%N)
  python3 -c "print('%.3f' % ($stop - $start))"
}
