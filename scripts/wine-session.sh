#!/usr/bin/env bash
# Starts or stops the Wine session of one build folder: a private prefix
# (<build>/wineprefix), a persistent wineserver and a virtual X display.
#   wine-session.sh start <build> [--with-32-bit]
#                                   create the prefix if needed, start Xvfb and wineserver
#   wine-session.sh stop <build>    stop both
#   wine-session.sh env <build>     print the environment lines a Wine program needs
# A prefix is made for 64-bit programs alone unless --with-32-bit asks for its
# 32-bit half too (syswow64 and the 32-bit registrations). Where wine32 runs,
# wineboot sets that half up in every new prefix, which under emulation takes
# about two minutes; so for a 64-bit prefix wineboot runs where Wine's 32-bit
# loader cannot be found (hidden in a mount namespace of its own), and passes
# over it. Such a prefix runs every 64-bit program as one made without wine32.
# Every background process gets /dev/null for stdin, stdout and stderr: a
# process that inherited the caller's pipes would keep ctest waiting for ever.
set -euo pipefail
# shellcheck source=scripts/wine-programs.sh
. "$(dirname "$0")/wine-programs.sh"
# shellcheck source=scripts/wine-display.sh
. "$(dirname "$0")/wine-display.sh"

action=${1:?usage: wine-session.sh start|stop|env <build-dir> [--with-32-bit]}
build=$(cd "${2:?build dir}" && pwd)
with_32bit=0
case "${3:-}" in
  "") ;;
  --with-32-bit) with_32bit=1 ;;
  *) echo "usage: wine-session.sh start <build-dir> [--with-32-bit]" >&2; exit 2 ;;
esac
prefix="$build/wineprefix"
state="$build/wine-session"
mkdir -p "$state"

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

wineboot_init() {
  wine64_program wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
  wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
}

# wineboot with /dev/null mounted over the 32-bit loader in a mount namespace
# of its own: the rest of the machine still sees the loader. False where no
# such namespace can be made (not root, or a container that forbids it).
wineboot_init_64bit_only() {
  unshare --mount --propagation private bash -c '
    mount --bind /dev/null "$1" || exit 1
    setarch -R "$2" wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true' hide "$wine32_loader" "$wine64_loader" \
    </dev/null >/dev/null 2>&1 9>&-
}

make_prefix() {
  if [ $with_32bit = 1 ] || [ ! -e "$wine32_loader" ]; then
    wineboot_init
  elif ! wineboot_init_64bit_only; then
    # The prefix gets its 32-bit half then, only slower to make.
    wineboot_init
  fi
}

# A prefix asked for with its 32-bit half but made without it (for 64-bit
# programs, or before wine32 could run here), while 32-bit programs now run.
lacks_32bit_half() {
  [ $with_32bit = 1 ] && [ -f "$prefix/system.reg" ] && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] &&
    [ -e "$wine32_loader" ] && [ "$(i386_programs)" != none ]
}

# Starts the persistent server and warms it with one program; false when the
# prefix cannot run a program.
serve_prefix() {
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  wine64_program cmd /c exit </dev/null >/dev/null 2>"$state/warm-up.err" 9>&-
}

# Keeps the prefix's desktop for the whole session. Wine starts its desktop
# process (explorer.exe /desktop) from the first program that needs a window,
# and that process inherits the program's standard output and error; it lives
# until no program of the prefix has used the desktop for a moment. Started
# by a test program, it kept that test's output pipe open, so ctest saw the
# test running for as long as other tests kept the desktop busy: one test of
# a fresh prefix took 105 to 170 s where its own work took 0.1 s, holding one
# of ctest's two slots. Here the session starts the desktop from a program
# with no pipes (rundll32 makes a window), and keeps it with a program that
# waits for ever: cmd reading a FIFO it holds open itself, ended by
# wineserver -k.
hold_desktop() {
  local pid
  pid=$(cat "$state/desktop-holder.pid" 2>/dev/null) && kill -0 "$pid" 2>/dev/null && return 0
  [ -p "$state/desktop-holder.fifo" ] || mkfifo "$state/desktop-holder.fifo"
  wine64_program cmd.exe 0<>"$state/desktop-holder.fifo" >/dev/null 2>&1 9>&- &
  echo $! >"$state/desktop-holder.pid"
  wine64_program rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 9>&- || true
}

start() {
  start_display
  export DISPLAY
  DISPLAY=$(cat "$state/display")
  if lacks_32bit_half; then
    echo "wine-session: the Wine prefix $prefix has no 32-bit half; making it anew with it" >&2
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    rm -rf "$prefix"
  fi
  if [ ! -f "$prefix/system.reg" ]; then make_prefix; fi
  if ! serve_prefix && grep -q "could not load kernel32.dll" "$state/warm-up.err"; then
    # A prefix that no longer starts any program (seen with one made while
    # wine32 was installed but could not run), which wineboot -u does not
    # mend: make it anew. Only then: the prefix may be in use by tests
    # running meanwhile (a restarted display brings a session here), and
    # any other failure of one program is no reason to take their registry.
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
  hold_desktop
  touch "$state/started"
}

stop() {
  wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
  stop_display
  rm -f "$state/started" "$state/desktop-holder.pid"
}

case "$action" in
  start)
    exec 9>"$state/lock"
    flock 9
    if [ -f "$state/started" ] && display_alive && ! lacks_32bit_half; then exit 0; fi
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
