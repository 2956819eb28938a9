#!/usr/bin/env bash
# Installs every Debian package the builds and tests need. Idempotent: when all
# packages are present it returns at once without touching apt.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libwine-dev wine wine64
  libc6:i386
  nsis
  xvfb xauth x11-apps xdotool imagemagick
  googletest
  clang-14 libclang-rt-14-dev
  python3 openssl
)

# Not installed here: osslsigncode 2.7 or later, which signs the Windows 11
# package. Debian 12 has only 2.5, which cannot, and installing it would
# replace a newer one; the package's build says when it is missing or too old
# (README, "Signing with a real certificate", says where to get it).

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# 32-bit Windows programs (the 32-bit DLL's tests, the setup program) need
# wine32, from the i386 architecture, and a kernel that runs 32-bit programs.
# Where the kernel cannot (no IA32 emulation), wine32's loader fails with "Exec
# format error" and, once installed, takes `wine` down for 64-bit programs
# too: it is then left out, and the 32-bit tests say they were skipped.
kernel_runs_i386() { [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --help >/dev/null 2>&1; }

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages ($*); run as root to install them" >&2
    exit 1
  fi
}

apt_install() {
  echo "install-deps: installing $*"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root "the i386 architecture"
  echo "install-deps: adding the i386 architecture"
  dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  need_root "${missing[*]}"
  apt_install "${missing[@]}"
fi

if ! installed wine32:i386 && kernel_runs_i386; then
  need_root wine32:i386
  apt_install wine32:i386
fi
