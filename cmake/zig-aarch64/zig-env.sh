# Sourced by the compiler wrappers: where Zig is and where its caches live.
# The caches are kept across builds and clones: Zig's first build of libc++
# and the C runtime for the target takes minutes.
zig=${QUORVEL_ZIG:-/opt/quorvel/zig-0.11.0/zig}
export ZIG_GLOBAL_CACHE_DIR=${ZIG_GLOBAL_CACHE_DIR:-/var/cache/quorvel/zig}
export ZIG_LOCAL_CACHE_DIR=${ZIG_LOCAL_CACHE_DIR:-$ZIG_GLOBAL_CACHE_DIR}
if [ ! -x "$zig" ]; then
  echo "$0: no Zig compiler at $zig (scripts/install-zig.sh installs it)" >&2
  exit 1
fi
