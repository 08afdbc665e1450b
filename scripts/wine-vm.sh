#!/usr/bin/env bash
# Runs a command inside a small Debian virtual machine whose kernel runs
# 32-bit programs, for machines whose own kernel does not (no IA-32
# emulation): there Wine cannot start our 32-bit test programs at all. The
# machine is emulated (qemu, no hardware virtualisation needed), so it is
# several times slower than the host, but Wine inside it is the same Wine
# 8.0 of Debian bookworm and runs the tests for real.
#
#   scripts/wine-vm.sh --image          make the machine's disk if needed;
#                                       print its directory
#   scripts/wine-vm.sh --run DIR CMD    boot it with DIR shared at the same
#                                       path, run the shell command CMD in
#                                       DIR, print its output, exit with its
#                                       status
#   scripts/wine-vm.sh --usable         exit 0 when the host can run the
#                                       machine (qemu, debootstrap installed
#                                       or installable), else say why, 1
#
# The disk is cached like the dependencies: under
# ${RYL_VM_CACHE:-/var/cache/rylutil-vm}/<hash of this script>, built in a
# .partial directory and renamed when complete, under a lock. Building it
# takes debootstrap and the packages below from Debian's archive (about five
# minutes); booting takes about twenty seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache_root=${RYL_VM_CACHE:-/var/cache/rylutil-vm}
readonly suite=bookworm
# What the tests need inside: Wine, CTest to run them, Python and the
# archive and crypto tools the interop scripts drive.
readonly packages=(
  linux-image-amd64 kmod udev procps util-linux
  wine wine32:i386 wine64 libwine libwine:i386
  cmake python3 zip unzip p7zip-full libarchive-tools bzip2 openssl
)
readonly host_packages=(qemu-system-x86 debootstrap e2fsprogs)

log() { echo "wine-vm: $*" >&2; }
die() { log "$*"; exit 1; }


install_host_tools() {
  local missing=() p
  for p in "${host_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -eq 0 ] || die "missing ${missing[*]}; run as root to install them"
  log "installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null ||
    { apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null; }
}

# The archive this machine's apt uses, for debootstrap.
mirror() {
  local uri
  uri=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=$(awk '$1=="deb"{print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  [ -n "$uri" ] || die "no Debian archive found in the apt sources"
  echo "$uri"
}

# PID 1 of the machine: mounts, the shared directory named on the kernel
# command line at its own path, the job, power off. The job's status goes to
# a file beside it, since the machine's own exit status never reaches qemu.
write_init() {
  cat >"$1" <<'INIT'
#!/bin/sh
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname ryl-wine-vm
ip link set lo up 2>/dev/null || true
share=$(sed -n 's/.*ryl\.share=\([^ ]*\).*/\1/p' /proc/cmdline)
job=$(sed -n 's/.*ryl\.job=\([^ ]*\).*/\1/p' /proc/cmdline)
options=$(sed -n 's/.*ryl\.mount=\([^ ]*\).*/\1/p' /proc/cmdline)
modprobe 9pnet_virtio 2>/dev/null; modprobe 9p 2>/dev/null
mkdir -p "$share"
if mount -t 9p -o "$options" share "$share"; then
  cd "$share" && /bin/bash "$job" >"$job.log" 2>&1
  echo $? >"$job.status"
  sync
  cd /
  umount "$share"
else
  echo "wine-vm: the shared directory cannot be mounted" >/dev/console
fi
echo o >/proc/sysrq-trigger
sleep 30
INIT
  chmod 755 "$1"
}

# The disk depends on the suite, the packages and the init program only, so
# that editing the rest of this script keeps the cached disk.
image_hash() {
  local init
  init=$(mktemp)
  write_init "$init"
  { printf '%s\n' "$suite" "${packages[@]}"; cat "$init"; } | sha256sum | cut -c1-16
  rm -f "$init"
}
hash=$(image_hash)
image=$cache_root/$hash

build_image() {
  install_host_tools
  mkdir -p "$cache_root"
  exec 9>"$cache_root/$hash.lock"
  flock 9
  [ -f "$image/.complete" ] && return 0
  local partial=$image.partial rootfs started
  started=$(date +%s)
  rm -rf "$partial"
  # Disks of older versions of this script are of no further use.
  find "$cache_root" -mindepth 1 -maxdepth 1 ! -name "$hash*" -exec rm -rf {} + 2>/dev/null || true
  rootfs=$partial/rootfs
  mkdir -p "$partial"
  log "building the machine's disk (debootstrap $suite and Wine; a few minutes)"
  debootstrap --variant=minbase "$suite" "$rootfs" "$(mirror)" >"$partial/debootstrap.log" 2>&1 ||
    die "debootstrap failed; see $partial/debootstrap.log"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$rootfs/etc/apt/sources.list.d/"
    rm -f "$rootfs/etc/apt/sources.list"
  fi
  mount --bind /proc "$rootfs/proc"
  mount --bind /sys "$rootfs/sys"
  mount --bind /dev "$rootfs/dev"
  trap 'umount "$rootfs/proc" "$rootfs/sys" "$rootfs/dev" 2>/dev/null || true' EXIT
  chroot "$rootfs" dpkg --add-architecture i386
  chroot "$rootfs" apt-get update -q >"$partial/apt.log" 2>&1 || die "apt-get update failed; see $partial/apt.log"
  DEBIAN_FRONTEND=noninteractive chroot "$rootfs" apt-get install -y -q --no-install-recommends "${packages[@]}" \
    >>"$partial/apt.log" 2>&1 || die "installing the packages failed; see $partial/apt.log"
  chroot "$rootfs" apt-get clean
  umount "$rootfs/proc" "$rootfs/sys" "$rootfs/dev"
  trap - EXIT
  write_init "$rootfs/ryl-init"
  cp -L "$rootfs/vmlinuz" "$partial/vmlinuz"
  cp -L "$rootfs/initrd.img" "$partial/initrd.img"
  # Room for the Wine prefix and the tests' scratch files on top of the
  # system; the file is sparse.
  local used
  used=$(du -sm "$rootfs" | cut -f1)
  truncate -s $((used + 4096))M "$partial/disk.raw"
  mkfs.ext4 -q -F -L ryl-wine-vm -d "$rootfs" "$partial/disk.raw"
  rm -rf "$rootfs"
  touch "$partial/.complete"
  mv "$partial" "$image"
  log "disk ready in $(( $(date +%s) - started )) s: $image"
}

run_job() {
  local dir=$1 command=$2
  [ -d "$dir" ] || die "no directory $dir"
  dir=$(cd "$dir" && pwd)
  [ -f "$image/.complete" ] || build_image
  local control job
  control=$(mktemp -d "$dir/.wine-vm.XXXXXX")
  job=$control/job.sh
  {
    echo "cd '$dir'"
    echo "$command"
  } >"$job"
  local memory=${RYL_VM_MEMORY:-6G} cpus=${RYL_VM_CPUS:-$(nproc)}
  # The page cache of the machine serves reads of the shared files: without
  # it every read is one 9p request of at most msize bytes, and a program
  # that takes a short read of a regular file for all there is (Wine
  # loading an executable) sees zeros. Nothing on the host changes the
  # files while the machine runs.
  local mount_options=trans=virtio,version=9p2000.L,msize=512000,cache=loose
  log "booting (${cpus} processors, ${memory}); the job runs in $dir"
  local qemu_status=0
  timeout "${RYL_VM_TIMEOUT:-5400}" qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap -smp "$cpus" -m "$memory" \
    -nographic -no-reboot -serial "file:$control/console.log" -monitor none \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "console=ttyS0 root=/dev/vda rw init=/ryl-init quiet loglevel=3 mitigations=off ryl.share=$dir ryl.job=$job ryl.mount=$mount_options" \
    -drive "file=$image/disk.raw,format=raw,if=virtio,cache=unsafe" -snapshot \
    -virtfs "local,path=$dir,mount_tag=share,security_model=none" \
    -nic none </dev/null >/dev/null 2>"$control/qemu.log" || qemu_status=$?
  [ -f "$job.log" ] && cat "$job.log"
  local status=1
  if [ -f "$job.status" ]; then
    status=$(cat "$job.status")
  else
    log "the machine ended without the job's status (qemu status $qemu_status); its console:"
    tail -n 40 "$control/console.log" >&2 || true
    tail -n 10 "$control/qemu.log" >&2 || true
  fi
  rm -rf "$control"
  return "$status"
}

case "${1:-}" in
  --image) build_image; echo "$image" ;;
  --run) [ $# -eq 3 ] || die "usage: wine-vm.sh --run DIR COMMAND"; run_job "$2" "$3" ;;
  --usable)
    if command -v qemu-system-x86_64 >/dev/null && command -v debootstrap >/dev/null; then exit 0; fi
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then exit 0; fi
    echo "wine-vm: qemu-system-x86_64 and debootstrap are missing and cannot be installed here" >&2
    exit 1 ;;
  *) echo "usage: wine-vm.sh --image | --run DIR COMMAND | --usable" >&2; exit 2 ;;
esac
