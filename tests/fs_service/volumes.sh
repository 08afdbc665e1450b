#!/usr/bin/env bash
# Extra drives for the file-system service tests, made on the Linux side of
# the build's private Wine prefix (CTest runs this as a fixture around
# fs_service_tests; run it by hand the same way to run the executable alone):
#
#   other  a drive letter whose dosdevices entry links to a directory under
#          /dev/shm (or $RYL_FS_OTHER_ROOT), a different Linux file system
#          than the prefix's C:, so
#          that a rename or hard link between the two answers
#          STATUS_NOT_SAME_DEVICE;
#   full   a drive letter on a 1 MiB tmpfs, so that a copy onto it runs out
#          of room midway. Mounting needs root; without it the drive is left
#          out and its reason recorded, and the tests that need it skip.
#
# The letters are the first free ones from W downwards; they are written to
# $RYL_WINEPREFIX.fs-volumes/volumes.txt, which the tests find through
# RYL_FS_VOLUMES.
#
# Usage: volumes.sh --setup | --cleanup
set -euo pipefail

: "${RYL_WINEPREFIX:?RYL_WINEPREFIX must name the private Wine prefix}"
state="$RYL_WINEPREFIX.fs-volumes"
devices="$RYL_WINEPREFIX/dosdevices"
config="$state/volumes.txt"
# RYL_FS_OTHER_ROOT names another file system for the "other" drive when
# /dev/shm will not do (the emulated test machine's memory file systems keep
# no extended attributes, where Wine stores the hidden attribute).
shm="${RYL_FS_OTHER_ROOT:-/dev/shm}/ryl-fs-volumes-$(printf '%s' "$RYL_WINEPREFIX" | md5sum | cut -c1-12)"
full="$state/full"

free_letter() {
  local letter
  for letter in w v u t s r q p o n m l k j; do
    if [ ! -e "$devices/$letter:" ] && [ ! -L "$devices/$letter:" ]; then
      echo "$letter"
      return 0
    fi
  done
  return 1
}

cleanup() {
  if [ -f "$config" ]; then
    local key value
    while IFS='=' read -r key value; do
      case "$key" in
        other|full)
          [ -n "$value" ] || continue
          local entry
          entry="$devices/$(printf '%s' "${value%:}" | tr 'A-Z' 'a-z'):"
          # Only links this script made, never a drive someone else set up.
          if [ -L "$entry" ]; then rm -f "$entry"; fi ;;
      esac
    done < "$config"
  fi
  if mountpoint -q "$full" 2>/dev/null; then umount "$full" 2>/dev/null || umount -l "$full"; fi
  rm -rf "$state" "$shm"
}

setup() {
  [ -d "$devices" ] || { echo "volumes: no prefix at $RYL_WINEPREFIX" >&2; exit 1; }
  cleanup
  mkdir -p "$state" "$shm"
  local other
  other=$(free_letter) || { echo "volumes: no free drive letter" >&2; exit 1; }
  ln -s "$shm" "$devices/$other:"
  {
    echo "other=$(printf '%s' "$other" | tr 'a-z' 'A-Z'):"
  } > "$config"

  mkdir -p "$full"
  local reason=""
  if mount -t tmpfs -o size=1m,mode=0777 ryl-fs-full "$full" 2>"$state/mount.err"; then
    local letter
    if letter=$(free_letter); then
      ln -s "$full" "$devices/$letter:"
      echo "full=$(printf '%s' "$letter" | tr 'a-z' 'A-Z'):" >> "$config"
      return 0
    fi
    reason="no free drive letter"
  else
    reason="mounting a 1 MiB tmpfs was refused: $(tr '\n' ' ' < "$state/mount.err")"
  fi
  { echo "full="; echo "full_reason=$reason"; } >> "$config"
}

# Without Wine there is no prefix to add drives to; fs_service_tests skips.
if ! "$(dirname "$0")/../../cmake/wine-run.sh" --check 2>/dev/null; then
  echo "volumes: nothing to set up: the Wine tests cannot run on this machine"
  exit 0
fi

case "${1:-}" in
  --setup) setup ;;
  --cleanup) cleanup ;;
  *) echo "usage: $0 --setup | --cleanup" >&2; exit 2 ;;
esac
