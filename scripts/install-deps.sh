#!/usr/bin/env bash
# Installs every Debian package the builds and tests need, and makes 32-bit
# Windows programs run. Idempotent: what is already there is left as it is.
#   install-deps.sh              everything: 32-bit programs, the ARM64 build's compiler
#                                (scripts/install-zig.sh) and the arm64 root where its
#                                programs run (scripts/install-arm64-root.sh) (the test command)
#   install-deps.sh --64-bit-only  without wine32, emulation or the ARM64 build (the main command)
#
# 32-bit Windows programs (quorvel32.dll's tests, the setup program) need
# wine32 from the i386 architecture, and wine32 needs a kernel that runs
# 32-bit (i386) Linux programs. Where the kernel does so natively, wine32 is
# all it takes. Where it does not (no IA32 emulation: /lib/ld-linux.so.2 fails
# with "Exec format error"), this script makes the kernel hand i386 programs
# to qemu's user-mode emulator: it installs qemu-user-static, mounts
# binfmt_misc if needed, and registers the i386 ELF header for
# /usr/bin/qemu-i386-static with the F flag (the kernel opens the emulator
# once, at registration). The registration lives in the running kernel: it is
# gone after a restart, and the next run of this script makes it again.
# wine32 is installed only once 32-bit programs run: installed on a kernel that
# runs none, it takes `wine`, `wineboot` and `winepath` down for 64-bit
# programs too.
set -euo pipefail

with_32bit=1
case "${1:-}" in
  "") ;;
  --64-bit-only) with_32bit=0 ;;
  *) echo "usage: install-deps.sh [--64-bit-only]" >&2; exit 2 ;;
esac

packages=(
  cmake ninja-build g++ make pkg-config
  # The compiler cache every clone and build folder of this machine shares
  # (scripts/build.sh).
  ccache
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libwine-dev wine wine64
  libc6:i386
  nsis
  xvfb xauth x11-apps xdotool imagemagick
  googletest
  clang-14 libclang-rt-14-dev llvm-14
  python3 openssl
  # Every locale compiled: Wine takes the user's language from the locale and
  # takes English for one that is not installed; the language tests and the
  # demonstration in another language need them.
  locales-all
  # Fonts for the pictures in other scripts: Japanese (VL Gothic, small), and
  # Arabic, Hebrew, Greek and Cyrillic (DejaVu).
  fonts-vlgothic fonts-dejavu-core
)

# osslsigncode signs every shipped file (signing/). Debian 12's own is 2.5,
# which signs programs and DLLs but not the Windows 11 package (2.7 or later:
# docs/windows-11.md, "Signing with a real certificate"). Installed where no
# osslsigncode is found at all: a newer one already there (this machine image
# carries 2.9 from bookworm-backports; or one built from source) is kept.
command -v osslsigncode >/dev/null || packages+=(osslsigncode)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: $* needed; run as root to install it" >&2
    exit 1
  fi
}

apt_updated=0
apt_install() {
  echo "install-deps: installing $*"
  export DEBIAN_FRONTEND=noninteractive
  if [ $apt_updated = 0 ]; then
    apt-get update -qq
    apt_updated=1
  fi
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

[ $with_32bit = 1 ] || exit 0

# --- the ARM64 build: its compiler and the arm64 root ---------------------

if ! command -v npm >/dev/null; then
  need_root "npm (the ARM64 build's compiler comes from the npm registry)"
  apt_install npm
fi
"$(dirname "$0")/install-zig.sh"
"$(dirname "$0")/install-arm64-root.sh" || echo "install-deps: the arm64 root could not be made; the windows-arm64 tests cannot run" >&2

# --- 32-bit programs --------------------------------------------------------

runs_i386() { [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --help >/dev/null 2>&1; }

binfmt=/proc/sys/fs/binfmt_misc
entry_name=qemu-i386
emulator=/usr/bin/qemu-i386-static
# The ELF header of an i386 program (executable or shared object, so also the
# dynamic loader) and the mask of the bits that must match: class 32-bit,
# little-endian, version 1, type 2 or 3, machine 3 (EM_386).
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

emulate_i386() {
  if ! installed qemu-user-static; then
    need_root "qemu-user-static (this kernel runs no 32-bit programs)"
    apt_install qemu-user-static || return 1
  fi
  if [ ! -e "$binfmt/register" ]; then
    need_root "mounting binfmt_misc"
    echo "install-deps: mounting binfmt_misc at $binfmt"
    mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  fi
  if [ -e "$binfmt/$entry_name" ]; then
    # Somebody's registration of that name: used as it is, never replaced.
    if ! grep -qx enabled "$binfmt/$entry_name"; then
      echo "install-deps: the binfmt_misc entry $binfmt/$entry_name is disabled; enable it (echo 1 > it) for 32-bit programs" >&2
      return 1
    fi
    return 0
  fi
  need_root "the binfmt_misc registration of i386 programs"
  echo "install-deps: registering i386 programs with binfmt_misc for $emulator (flag F)"
  printf ':%s:M::%s:%s:%s:F' "$entry_name" "$i386_magic" "$i386_mask" "$emulator" >"$binfmt/register" || return 1
}

if ! runs_i386; then
  if ! emulate_i386 || ! runs_i386; then
    echo "install-deps: 32-bit programs cannot run on this machine: /lib/ld-linux.so.2 does not start;" >&2
    echo "install-deps: wine32 is left out, and the 32-bit tests will say that they were not run" >&2
    exit 0
  fi
fi
if ! installed wine32:i386; then
  need_root wine32:i386
  apt_install wine32:i386
fi
