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

ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.ryl-ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
    touch "$WINEPREFIX/.ryl-ready"
  fi
  flock -u 9
}

case "${1:-}" in
  --setup)
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

ensure_prefix
exec wine "$@"
