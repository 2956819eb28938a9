#!/usr/bin/env bash
# Runs the ARM64 build's Windows programs: Debian's arm64 Wine in the arm64
# root that scripts/install-arm64-root.sh makes, its Linux programs run by
# qemu-aarch64. The same verbs as wine-session.sh, and one to run a program:
#   arm64-wine.sh start <build>   create the prefix <build>/wineprefix if needed,
#                                 start Xvfb and a persistent wineserver
#   arm64-wine.sh stop <build>    stop both
#   arm64-wine.sh env <build>     print the environment lines a Wine program needs
#   arm64-wine.sh exec <build> PROGRAM [ARG...]
#       run one Windows program under the root's Wine (starting the session
#       first if needed): an aarch64 .exe by its Linux or Windows path, or one
#       of Wine's own programs by name (reg, regsvr32, cmd, ...). Its standard
#       streams and exit code are the program's; 125 says that it could not
#       be run at all.
# Every call chroots into the root in a mount namespace of its own, with /tmp
# (the X server's and wineserver's sockets, test folders), this source folder
# and the build folder bound at the same paths: Z:\ paths and absolute paths
# name the same files inside as outside. The wineserver opens files for its
# programs, so every call binds the same folders, and a program's working
# folder has to lie within them. Every background process gets /dev/null for
# its standard streams: one that kept a caller's pipe open would keep ctest
# waiting for ever.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=scripts/arm64-root.sh
. "$here/arm64-root.sh"
# shellcheck source=scripts/wine-display.sh
. "$here/wine-display.sh"

usage() {
  echo "usage: arm64-wine.sh start|stop|env <build-dir>" >&2
  echo "       arm64-wine.sh exec <build-dir> PROGRAM [ARG...]" >&2
  exit 2
}
[ $# -ge 2 ] || usage
action=$1
build=$(cd "$2" && pwd -P)
shift 2
source_dir=$(dirname "$here")
prefix="$build/wineprefix"
state="$build/wine-session"
mkdir -p "$state"
folders=(/tmp "$source_dir" "$build")

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installers: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The root's own programs and libraries, whatever the caller's are.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
# Where Wine makes its server's socket: the same for every call, inside and out.
export TMPDIR=/tmp
unset WINEARCH WINELOADER WINESERVER WINEDLLPATH LD_PRELOAD LD_LIBRARY_PATH

fail() {
  echo "arm64-wine: $*" >&2
  exit 125
}

check_root() {
  arm64_root_ready || fail "no arm64 root at $arm64_root; make it with scripts/install-arm64-root.sh (as root)"
  grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-aarch64 ||
    fail "aarch64 programs are not registered with binfmt_misc (after a restart, say); run scripts/install-arm64-root.sh (as root)"
}

# in_root WORKDIR PROGRAM [ARG...]: PROGRAM inside the root.
in_root() {
  local wd=$1
  shift
  arm64_root_command "$arm64_root" "$wd" "${folders[@]}" -- "$@"
  "${arm64_root_cmd[@]}"
}

# The same, detached from the caller's streams and from the session's lock.
in_root_quietly() { in_root "$@" </dev/null >/dev/null 2>&1 9>&-; }

# Where Wine's programs find the prefix's server: Debian's Wine makes a folder
# $TMPDIR/wine-XXXXXX and names it in <prefix>/wineserver; in it
# server-<device>-<inode> of the prefix folder, in hexadecimal (a bind mount
# keeps both numbers). Empty until the server has made them.
server_socket() {
  local dev ino tmp
  tmp=$(cat "$prefix/wineserver" 2>/dev/null) || return 0
  read -r dev ino < <(stat -c '%d %i' "$prefix")
  printf '%s/%s/server-%x-%x/socket' "$TMPDIR" "$tmp" "$dev" "$ino"
}

# A zombie (where nothing reaps orphans) has an empty command line.
server_alive() {
  local pid
  pid=$(cat "$state/wineserver.pid" 2>/dev/null) && kill -0 "$pid" 2>/dev/null &&
    grep -qa wineserver "/proc/$pid/cmdline" 2>/dev/null
}

# The persistent server, run in the foreground of a background process so that
# its process id is known. Programs are started only once it listens: one that
# found no server would start a server of its own.
start_server() {
  rm -f "$state/wineserver.pid"
  arm64_root_command "$arm64_root" / "${folders[@]}" -- "$arm64_wineserver" --foreground --persistent
  exec "${arm64_root_cmd[@]}" </dev/null >/dev/null 2>&1 9>&- &
  echo $! >"$state/wineserver.pid"
  local socket
  for _ in $(seq 1 300); do
    socket=$(server_socket)
    [ -n "$socket" ] && [ -S "$socket" ] && return 0
    server_alive || break
    sleep 0.1
  done
  echo "arm64-wine: the wineserver for $prefix did not start" >&2
  return 1
}

stop_server() {
  local pid
  pid=$(cat "$state/wineserver.pid" 2>/dev/null) || pid=
  in_root_quietly / "$arm64_wineserver" -k || true
  if [ -n "$pid" ]; then
    for _ in $(seq 1 50); do
      server_alive || break
      sleep 0.1
    done
    if server_alive; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$state/wineserver.pid"
}

# wineboot with a server of its own, waited for to exit.
make_prefix() {
  in_root_quietly / "$arm64_wine" wineboot -i || true
  in_root_quietly / "$arm64_wineserver" -w || true
}

# Starts the persistent server and warms it with one program; false when the
# prefix cannot run a program.
serve_prefix() {
  [ -d "$prefix" ] || return 1
  server_alive || start_server || return 1
  in_root_quietly "$build" "$arm64_wine" cmd /c exit
}

start() {
  check_root
  if ! display_alive; then
    # A running server's programs (the desktop among them) know only the
    # display that has gone.
    if server_alive; then stop_server; fi
    start_display || return 1
  fi
  export DISPLAY
  DISPLAY=$(cat "$state/display") || return 1
  if [ ! -f "$prefix/system.reg" ]; then
    # Said by `start` alone: the output of `exec` is the program's.
    [ "$action" != start ] || echo "arm64-wine: making the Wine prefix $prefix (some 20 s)"
    make_prefix
  fi
  if ! serve_prefix; then
    echo "arm64-wine: the Wine prefix $prefix does not start; making it anew" >&2
    stop_server
    rm -rf "$prefix"
    make_prefix
    serve_prefix || true
  fi
  if [ ! -f "$prefix/system.reg" ] || ! server_alive; then
    echo "arm64-wine: could not create and serve the Wine prefix $prefix" >&2
    return 1
  fi
  touch "$state/started"
}

# Starts the session unless it runs, under the session's lock (released after).
ensure_started() {
  exec 9>"$state/lock"
  flock 9
  if ! { [ -f "$state/started" ] && display_alive && server_alive; }; then
    start || return 1
  fi
  exec 9>&-
}

stop() {
  exec 9>"$state/lock"
  flock 9
  if arm64_root_ready; then stop_server; fi
  stop_display
  rm -f "$state/started"
}

# True when the folder $1 is one of the bound folders or lies below one.
visible_inside() {
  local f
  for f in "${folders[@]}"; do
    case "$1/" in "$f"/*) return 0 ;; esac
  done
  return 1
}

case "$action" in
  start)
    [ $# -eq 0 ] || usage
    ensure_started
    ;;
  stop)
    [ $# -eq 0 ] || usage
    stop
    ;;
  env)
    [ $# -eq 0 ] || usage
    echo "WINEPREFIX=$prefix"
    echo "WINEDEBUG=-all"
    echo "WINEDLLOVERRIDES=$WINEDLLOVERRIDES"
    echo "DISPLAY=$(cat "$state/display" 2>/dev/null)"
    ;;
  exec)
    [ $# -ge 1 ] || usage
    wd=$(pwd -P)
    visible_inside "$wd" ||
      fail "the working folder $wd is not visible inside the root; run from within ${folders[*]}"
    ensure_started || fail "the Wine session of $build does not start"
    export DISPLAY
    DISPLAY=$(cat "$state/display")
    arm64_root_command "$arm64_root" "$wd" "${folders[@]}" -- "$arm64_wine" "$@"
    exec "${arm64_root_cmd[@]}"
    ;;
  *)
    usage
    ;;
esac
