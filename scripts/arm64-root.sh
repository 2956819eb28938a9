# shellcheck shell=bash disable=SC2034 # sets variables for the scripts that source it
# Sourced by the scripts that make or use the arm64 Debian root in which ARM64
# Windows programs run: Debian's arm64 Wine, its Linux programs run by
# qemu-aarch64 through binfmt_misc (scripts/install-arm64-root.sh makes both).

# One root for the machine, outside every repository and build: it takes some
# minutes to make and does not change with the sources.
arm64_root=${QUORVEL_ARM64_ROOT:-/var/lib/quorvel/arm64-root}
# Written last, once everything is installed: a root without it is not used.
arm64_root_marker=.quorvel-arm64-root-complete
# Wine's loader and server inside the root (Debian's arm64 wine64 package).
arm64_wine=/usr/lib/wine/wine64
arm64_wineserver=/usr/lib/wine/wineserver64

arm64_root_ready() { [ -f "$arm64_root/$arm64_root_marker" ]; }

# What runs in the new mount namespace, on the host's bash, before the chroot.
# Every mount is made in that namespace alone (its propagation is private), so
# none shows on the host, and all go when its last process ends. A folder that
# is already visible at its own path inside the root (one below /tmp once /tmp
# is bound) is not bound again.
# shellcheck disable=SC2016
_arm64_root_enter='set -euo pipefail
root=$1 wd=$2 n=$3
shift 3
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --rbind /sys "$root/sys"
mountpoint -q "$root/dev/pts" || mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mountpoint -q "$root/dev/shm" || mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
while [ "$n" -gt 0 ]; do
  if ! [ "$1" -ef "$root$1" ]; then
    mkdir -p "$root$1"
    mount --rbind "$1" "$root$1"
  fi
  shift
  n=$((n - 1))
done
exec unshare --root="$root" --wd="$wd" "$@"'

# arm64_root_command ROOT WORKDIR [FOLDER...] -- PROGRAM [ARG...]
# Sets the array arm64_root_cmd to the command that runs PROGRAM (a path inside
# ROOT) with ROOT as its root folder and WORKDIR (a path inside ROOT) as its
# working folder, in a mount namespace of its own with proc, dev (with devpts
# and shm) and sys mounted and each host FOLDER bound at the same path inside
# the root. The caller runs it, or execs it so that the program keeps the
# caller's process (signals, exit code). Every step up to PROGRAM execs the
# next, and the standard streams and environment pass through unchanged.
arm64_root_command() {
  local root=$1 wd=$2
  shift 2
  local folders=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    folders+=("$1")
    shift
  done
  [ "${1:-}" = -- ] || { echo "arm64_root_command: -- PROGRAM missing" >&2; return 2; }
  shift
  arm64_root_cmd=(unshare --mount --propagation private
    bash -c "$_arm64_root_enter" arm64-root "$root" "$wd" "${#folders[@]}" "${folders[@]}" "$@")
}
