#!/usr/bin/env bash
# Makes the place where the ARM64 build's Windows programs run: Debian
# bookworm's arm64 Wine in an arm64 Debian root, its Linux programs run by
# qemu's user-mode emulator. Idempotent: a finished root is kept, and a run
# after a restart only registers the emulator again. Run as root.
#
# What it changes on this machine:
#   - installs the Debian package qemu-user-static (qemu-aarch64-static);
#   - mounts binfmt_misc at /proc/sys/fs/binfmt_misc if it is not mounted, and
#     registers the entry "qemu-aarch64" there: the ELF header of aarch64
#     programs, run by /usr/bin/qemu-aarch64-static, flag F (the kernel opens
#     the emulator once, at registration, so it also runs inside the root). An
#     entry of that name that is already there is used as it is. The
#     registration lives in the running kernel: a restart drops it, and the
#     next run of this script makes it again;
#   - makes the root folder /var/lib/quorvel/arm64-root (QUORVEL_ARM64_ROOT
#     names another; about 500 MB), built beside it in arm64-root.partial and
#     moved into place only once complete. Inside: a minimal bookworm from the
#     mirror the host's apt sources name for bookworm (QUORVEL_ARM64_MIRROR
#     names another), then wine and wine64 without recommended packages.
# Nothing is mounted on the host: the work inside the root runs in a private
# mount namespace (scripts/arm64-root.sh). The first run takes about 8 minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/arm64-root.sh
. "$here/arm64-root.sh"

suite=bookworm
partial="$arm64_root.partial"
say() { echo "install-arm64-root: $*"; }

if [ "$(id -u)" -ne 0 ]; then
  echo "install-arm64-root: run as root (it installs packages, registers the emulator and makes $arm64_root)" >&2
  exit 1
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# Waits for another apt or dpkg run (install-deps.sh, say) instead of failing.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }

if ! installed qemu-user-static; then
  say "installing qemu-user-static"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends qemu-user-static >/dev/null
fi

# --- the emulator for aarch64 programs ---------------------------------------

binfmt=/proc/sys/fs/binfmt_misc
entry_name=qemu-aarch64
emulator=/usr/bin/qemu-aarch64-static
# The ELF header of an aarch64 program (executable or shared object, so also
# the dynamic loader) and the mask of the bits that must match: class 64-bit,
# little-endian, version 1, type 2 or 3, machine 183 (EM_AARCH64).
aarch64_magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
aarch64_mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

if [ ! -e "$binfmt/register" ]; then
  say "mounting binfmt_misc at $binfmt"
  mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ -e "$binfmt/$entry_name" ]; then
  # Somebody's registration of that name: used as it is, never replaced.
  if ! grep -qx enabled "$binfmt/$entry_name"; then
    echo "install-arm64-root: the binfmt_misc entry $binfmt/$entry_name is disabled; enable it (echo 1 > it) for aarch64 programs" >&2
    exit 1
  fi
else
  say "registering aarch64 programs with binfmt_misc for $emulator (flag F)"
  printf ':%s:M::%s:%s:%s:F' "$entry_name" "$aarch64_magic" "$aarch64_mask" "$emulator" >"$binfmt/register"
fi

# --- the root ----------------------------------------------------------------

mkdir -p "$(dirname "$arm64_root")"
exec 9>"$arm64_root.lock"
flock 9

# Runs a command inside a root folder, in a mount namespace of its own.
in_root() {
  local root=$1
  shift
  arm64_root_command "$root" / -- /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C \
    DEBIAN_FRONTEND=noninteractive "$@"
  "${arm64_root_cmd[@]}" 9>&-
}

if ! arm64_root_ready; then
  started=$SECONDS
  if [ -e "$partial" ]; then
    say "removing the unfinished root $partial of an earlier run"
    rm -rf --one-file-system "$partial"
  fi
  if [ -e "$arm64_root" ]; then
    # Only finished roots are moved there: this is something else.
    echo "install-arm64-root: $arm64_root exists but is no finished root (no $arm64_root_marker); move it away" >&2
    exit 1
  fi

  # shellcheck disable=SC2016 # $(REPO_URI) is apt's field, not the shell's
  mirror=${QUORVEL_ARM64_MIRROR:-$(apt-get indextargets --format '$(REPO_URI)' "Release: $suite" "Component: main" \
    "Identifier: Packages" | head -n 1)}
  if [ -z "$mirror" ]; then
    echo "install-arm64-root: the host's apt sources name no mirror for $suite main; set QUORVEL_ARM64_MIRROR" >&2
    exit 1
  fi

  # debootstrap from its package, unpacked and run from a scratch folder: the
  # host does not get it installed.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  say "fetching debootstrap"
  # As root into a folder apt's sandbox user cannot write.
  download() { (cd "$scratch" && apt-get download -qq -o APT::Sandbox::User=root debootstrap); }
  if ! download; then
    apt_get update -qq
    download
  fi
  dpkg -x "$scratch"/debootstrap_*.deb "$scratch/debootstrap"

  say "first stage: unpacking a minimal arm64 $suite from $mirror into $partial"
  DEBOOTSTRAP_DIR="$scratch/debootstrap/usr/share/debootstrap" \
    "$scratch/debootstrap/usr/sbin/debootstrap" --arch=arm64 --foreign --variant=minbase \
    "$suite" "$partial" "$mirror" >"$scratch/first-stage.log" 2>&1 ||
    { tail -n 20 "$scratch/first-stage.log" >&2; exit 1; }
  # The emulator by the path binfmt_misc names, for an entry without flag F.
  cp "$emulator" "$partial/usr/bin/"

  say "second stage: installing the packages inside the root (some minutes under emulation)"
  in_root "$partial" /debootstrap/debootstrap --second-stage >"$scratch/second-stage.log" 2>&1 ||
    { tail -n 20 "$scratch/second-stage.log" >&2; exit 1; }

  say "installing wine and wine64 inside the root"
  # No service may start inside the root.
  printf '#!/bin/sh\nexit 101\n' >"$partial/usr/sbin/policy-rc.d"
  chmod 755 "$partial/usr/sbin/policy-rc.d"
  cp /etc/resolv.conf "$partial/etc/resolv.conf"
  if ! { in_root "$partial" apt-get update -qq &&
    in_root "$partial" apt-get install -y -qq --no-install-recommends wine wine64 &&
    in_root "$partial" apt-get clean; } >"$scratch/wine.log" 2>&1; then
    tail -n 20 "$scratch/wine.log" >&2
    exit 1
  fi

  version=$(in_root "$partial" "$arm64_wine" --version 2>/dev/null) ||
    { echo "install-arm64-root: Wine does not start inside $partial" >&2; exit 1; }
  echo "$version, made $(date -u +%Y-%m-%dT%H:%M:%SZ) from $mirror" >"$partial/$arm64_root_marker"
  mv "$partial" "$arm64_root"
  say "$version ready in $arm64_root after $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
fi

# A finished root, checked: after a restart, say, without the emulator.
if ! version=$(in_root "$arm64_root" "$arm64_wine" --version 2>&1); then
  echo "install-arm64-root: Wine does not start inside $arm64_root: $version" >&2
  exit 1
fi
say "$version in $arm64_root"
