#!/usr/bin/env bash
# Builds the portable configuration with libFuzzer and the sanitizers, makes
# the seed corpora and runs every fuzz target.
#
#   fuzz/run.sh                 short run: a fixed number of executions per
#                               target, fixed random seed (the test gate)
#   fuzz/run.sh --long          campaign: 10,000,000 executions of
#                               zip_reader_fuzz, 1,000,000 of most others
#                               (fewer for zstd_fuzz and zip_aes_fuzz)
#   --runs N                    N executions per target instead
#   --jobs J                    J targets at a time (default 1)
#   --only TARGET               that target alone (may be repeated)
#   --max-time S                stop each target after S seconds; one stopped
#                               there reports how many executions it ran
#
# Exits non-zero when a target finds a crash, a leak, a timeout or runs out
# of memory, or did not run its executions. Crash inputs land in
# BUILD/artifacts/TARGET/; add them to fuzz/corpus/TARGET/ with the fix.
# RYL_FUZZ_BUILD_DIR overrides the build directory (default build-fuzz/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RYL_FUZZ_BUILD_DIR:-$root/build-fuzz}

targets=(zip_reader_fuzz zip_rewrite_fuzz zip_census_fuzz deflate_fuzz bzip2_fuzz lzma_fuzz xz_fuzz zstd_fuzz zip_aes_fuzz
         transcoder_fuzz integer_fuzz wildcard_fuzz path_text_fuzz xml_parse_fuzz format_fuzz)

# Short-run executions, tuned so that the targets take about 20 s together on
# two cores (and the four of the newer ZIP methods about as much again: a
# zstd compressor's fresh tables and AES's key derivation make each of
# their runs slow), and the campaign's.
declare -A short_runs=(
  [zip_reader_fuzz]=4000 [zip_rewrite_fuzz]=3000 [zip_census_fuzz]=20000 [deflate_fuzz]=10000 [bzip2_fuzz]=1000
  [lzma_fuzz]=4000 [xz_fuzz]=20000 [zstd_fuzz]=500 [zip_aes_fuzz]=300 [transcoder_fuzz]=5000
  [integer_fuzz]=100000 [wildcard_fuzz]=50000 [path_text_fuzz]=45000 [xml_parse_fuzz]=5000
  [format_fuzz]=30000)
declare -A long_runs=(
  [zip_reader_fuzz]=10000000 [zip_rewrite_fuzz]=1000000 [zip_census_fuzz]=1000000 [deflate_fuzz]=1000000 [bzip2_fuzz]=1000000
  [lzma_fuzz]=1000000 [xz_fuzz]=1000000 [zstd_fuzz]=200000 [zip_aes_fuzz]=100000 [transcoder_fuzz]=1000000
  [integer_fuzz]=1000000 [wildcard_fuzz]=1000000 [path_text_fuzz]=1000000 [xml_parse_fuzz]=1000000
  [format_fuzz]=1000000)
# Inputs much longer than the seeds only slow mutation down; the archives
# the tests make reach 256 KiB.
declare -A max_len=(
  [zip_reader_fuzz]=262144 [zip_rewrite_fuzz]=65536 [zip_census_fuzz]=65536 [deflate_fuzz]=4096 [bzip2_fuzz]=4096
  [lzma_fuzz]=4096 [xz_fuzz]=4096 [zstd_fuzz]=4096 [zip_aes_fuzz]=4096 [transcoder_fuzz]=4096
  [integer_fuzz]=256 [wildcard_fuzz]=600 [path_text_fuzz]=1024 [xml_parse_fuzz]=16384
  [format_fuzz]=512)

long=0
runs=""
jobs=1
only=()
max_time=0
while [ $# -gt 0 ]; do
  case "$1" in
    --long) long=1 ;;
    --runs) runs=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --only) only+=("$2"); shift ;;
    --max-time) max_time=$2; shift ;;
    *) echo "usage: fuzz/run.sh [--long] [--runs N] [--jobs J] [--only TARGET] [--max-time S]" >&2; exit 2 ;;
  esac
  shift
done
[ ${#only[@]} -gt 0 ] && targets=("${only[@]}")

install_missing() {
  local packages=(clang-14 libclang-rt-14-dev zlib1g-dev libbz2-dev libssl-dev liblzma-dev libzstd-dev libgtest-dev libpcre3-dev cmake ninja-build python3
                  zip p7zip-full libarchive-tools zstd xz-utils dpkg-dev)
  local missing=()
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "fuzz: missing ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  echo "fuzz: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing
# expat's source with the module's patches, for the XML parser's target.
"$root/deps/expat-source.sh" "$build/expat-src"
cmake -S "$root" -B "$build" -G Ninja -DRYL_PORTABLE_BUILD=ON -DRYL_EXPAT_SOURCE="$build/expat-src" \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j 2 -- "${targets[@]}"
python3 "$root/fuzz/make_seeds.py" "$build/seed-work" "$build/seeds"

# The short run starts from the seeds alone each time, so its cost and its
# result do not depend on earlier runs; a campaign keeps what it found.
if [ $long -eq 1 ]; then
  work=$build/corpus
else
  work=$build/short-corpus
  rm -rf "$work"
fi
mkdir -p "$build/logs"

run_target() {
  local target=$1 count=$2
  local log=$build/logs/$target.log
  mkdir -p "$work/$target" "$build/artifacts/$target" "$root/fuzz/corpus/$target"
  local seed_args=()
  [ $long -eq 0 ] && seed_args=(-seed="${RYL_FUZZ_SEED:-1}")
  [ "$max_time" -gt 0 ] && seed_args+=(-max_total_time="$max_time")
  local started=$SECONDS rc=0
  "$build/bin/$target" -runs="$count" -max_len="${max_len[$target]}" -timeout=20 -rss_limit_mb=2560 \
    -print_final_stats=1 "${seed_args[@]}" -artifact_prefix="$build/artifacts/$target/" \
    "$work/$target" "$build/seeds/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  local executed
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  local seconds=$((SECONDS - started))
  local result=ok
  if [ $rc -ne 0 ]; then
    result="FAILED (exit $rc; see $log)"
  elif [ -n "$executed" ] && [ "$executed" -lt "$count" ] && [ "$max_time" -gt 0 ] &&
       [ $((SECONDS - started)) -ge "$max_time" ]; then
    result="clean, stopped at the time limit after $executed of $count executions"
  elif [ -z "$executed" ] || [ "$executed" -lt "$count" ]; then
    result="FAILED (ran ${executed:-no} of $count executions; see $log)"
    rc=1
  fi
  local rate=0
  [ -n "$executed" ] && [ $seconds -gt 0 ] && rate=$((executed / seconds))
  printf 'fuzz: %-16s %10s executions in %5ds (%s/s): %s\n' "$target" "${executed:-0}" "$seconds" "$rate" "$result"
  if [ $rc -ne 0 ]; then
    grep -E 'ERROR|check failed|runtime error|SUMMARY|Test unit written' "$log" | head -n 20 >&2 || true
  fi
  return $rc
}

# Each run leaves its result in a file: a background job's exit status is
# not reliably there to collect once another wait has taken it.
for target in "${targets[@]}"; do rm -f "$build/logs/$target.status"; done
for target in "${targets[@]}"; do
  if [ -n "$runs" ]; then
    count=$runs
  elif [ $long -eq 1 ]; then
    count=${long_runs[$target]}
  else
    count=${short_runs[$target]}
  fi
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  ( rc=0; run_target "$target" "$count" || rc=$?; echo $rc >"$build/logs/$target.status" ) &
done
wait

failed=0
for target in "${targets[@]}"; do
  [ "$(cat "$build/logs/$target.status" 2>/dev/null)" = 0 ] || failed=1
done

if [ $failed -ne 0 ]; then
  echo "fuzz: FAILED" >&2
  exit 1
fi
echo "fuzz: every target ran its executions cleanly"
