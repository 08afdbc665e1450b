#!/usr/bin/env bash
# Runs a Windows executable under Wine in the build tree's private prefix.
# CTest uses this as the cross-compiling emulator. The prefix is made once,
# under a lock, so tests started in parallel never race to create it.
set -euo pipefail

: "${RYL_WINEPREFIX:?RYL_WINEPREFIX must name the private Wine prefix}"
export WINEPREFIX=$RYL_WINEPREFIX
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Wine runs our 32-bit programs as 32-bit Linux processes. Some virtual
# machines run kernels that refuse 32-bit user code (execve answers ENOEXEC);
# an emulator registered for i386 programs (qemu-user) starts them, but Wine
# then runs many times slower and crashes on its threads. Either way no test
# result would mean anything, so the tests that need Wine skip, saying why.
# Exit code 77 is what the CTest registrations take as "skipped".
readonly kSkip=77
can_run_32bit() {
  local loader=/lib/ld-linux.so.2
  [ -x "$loader" ] || { echo "no 32-bit loader at $loader (wine32 is not installed)"; return 1; }
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "this machine's kernel refuses 32-bit programs (no IA-32 emulation)"
    return 1
  fi
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    if grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null &&
       grep -q '^enabled' "$entry" 2>/dev/null; then
      echo "32-bit programs run only through an emulator ($(basename "$entry")), not natively"
      return 1
    fi
  done
  return 0
}

ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.ryl-ready" ]; then
    # The prefix may be a mount of its own (a memory file system inside the
    # emulated machine of scripts/wine-vm.sh): empty it rather than remove it.
    if mountpoint -q "$WINEPREFIX" 2>/dev/null; then
      find "$WINEPREFIX" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
    else
      rm -rf "$WINEPREFIX"
    fi
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
    touch "$WINEPREFIX/.ryl-ready"
  fi
  flock -u 9
}

case "${1:-}" in
  --check)
    # Exit 0 when the Wine tests can run here; else say why and exit 77.
    if ! reason=$(can_run_32bit); then echo "wine-run: skipped: $reason" >&2; exit $kSkip; fi
    exit 0 ;;
  --setup)
    if ! reason=$(can_run_32bit); then
      echo "wine-run: no Wine prefix made: $reason; the tests that need Wine will skip" >&2
      exit 0
    fi
    ensure_prefix
    # A persistent server keeps every test start cheap for the whole run. It
    # must not hold CTest's output pipe, or CTest waits for it to exit.
    # A server already running for this prefix (a benchmark, a hand run) is
    # reused rather than treated as a failure.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # The first Wine process of a session starts the system services, which
    # stay for the server's life holding whatever stdio they inherited. Start
    # them here, detached, rather than from a test whose pipes CTest watches.
    wine wineboot </dev/null >/dev/null 2>&1 || true
    exit 0 ;;
  --shutdown)
    if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
    exit 0 ;;
esac

if ! reason=$(can_run_32bit); then echo "wine-run: skipped: $reason" >&2; exit $kSkip; fi
ensure_prefix
exec wine "$@"
