#!/usr/bin/env bash
# Installs every Debian package the builds and tests need. Idempotent: when all
# packages are present it returns at once without touching apt.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  libwine-dev wine wine64 wine32:i386
  nsis
  xvfb xauth x11-apps xdotool imagemagick
  googletest
  clang-14 libclang-rt-14-dev
  python3
)

# wine32 (32-bit programs under WoW64: the 32-bit DLL, the setup program)
# comes from the i386 architecture.
need_i386=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then need_i386=yes; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ] && [ $need_i386 = no ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

if [ $need_i386 = yes ]; then
  echo "install-deps: adding the i386 architecture"
  dpkg --add-architecture i386
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
