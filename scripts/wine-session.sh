#!/usr/bin/env bash
# Starts or stops the Wine session of one build folder: a private prefix
# (<build>/wineprefix), a persistent wineserver and a virtual X display.
#   wine-session.sh start <build>   create the prefix if needed, start Xvfb and wineserver
#   wine-session.sh stop <build>    stop both
#   wine-session.sh env <build>     print the environment lines a Wine program needs
# Every background process gets /dev/null for stdin, stdout and stderr: a
# process that inherited the caller's pipes would keep ctest waiting for ever.
set -euo pipefail
# shellcheck source=scripts/wine-programs.sh
. "$(dirname "$0")/wine-programs.sh"

action=${1:?usage: wine-session.sh start|stop|env <build-dir>}
build=$(cd "${2:?build dir}" && pwd)
prefix="$build/wineprefix"
state="$build/wine-session"
mkdir -p "$state"

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

display_alive() {
  [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}

start_display() {
  display_alive && return 0
  local n
  for n in $(seq 91 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if display_alive && [ -e "/tmp/.X11-unix/X$n" ]; then
      echo ":$n" >"$state/display"
      return 0
    fi
  done
  echo "wine-session: could not start Xvfb" >&2
  return 1
}

make_prefix() {
  wine64_program wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
  wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
}

# Starts the persistent server and warms it with one program; false when the
# prefix cannot run a program.
serve_prefix() {
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  wine64_program cmd /c exit </dev/null >/dev/null 2>&1 9>&-
}

start() {
  start_display
  export DISPLAY
  DISPLAY=$(cat "$state/display")
  if [ ! -f "$prefix/system.reg" ]; then make_prefix; fi
  if ! serve_prefix; then
    # A prefix made before wine32 was installed fails every program from then
    # on ("could not load kernel32.dll"), and wineboot -u does not mend it:
    # make it anew.
    echo "wine-session: the Wine prefix $prefix does not start; making it anew" >&2
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    rm -rf "$prefix"
    make_prefix
    serve_prefix || true
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    echo "wine-session: could not create the Wine prefix $prefix" >&2
    return 1
  fi
  touch "$state/started"
}

stop() {
  wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
  if display_alive; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
  rm -f "$state/started" "$state/xvfb.pid" "$state/display"
}

case "$action" in
  start)
    exec 9>"$state/lock"
    flock 9
    if [ -f "$state/started" ] && display_alive; then exit 0; fi
    start
    ;;
  stop)
    exec 9>"$state/lock"
    flock 9
    stop
    ;;
  env)
    echo "WINEPREFIX=$prefix"
    echo "WINEDEBUG=-all"
    echo "DISPLAY=$(cat "$state/display" 2>/dev/null)"
    ;;
  *)
    echo "usage: wine-session.sh start|stop|env <build-dir>" >&2
    exit 2
    ;;
esac
