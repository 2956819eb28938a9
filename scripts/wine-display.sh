# shellcheck shell=bash disable=SC2154 # $state is the sourcing script's
# Sourced by the scripts that keep a build's Wine session (wine-session.sh,
# arm64-wine.sh): its virtual X display, an Xvfb on the host whose process id
# and display name live in the session's folder $state (xvfb.pid, display).
# Xvfb gets /dev/null for its standard streams and no lock descriptor (fd 9):
# it runs on after the script, and must neither keep a caller's pipe open nor
# hold the session's lock.

# Asked of the process itself: where nothing reaps orphans, a killed Xvfb
# stays a zombie, which kill -0 still finds (and whose command line is
# empty). Read without a pipe, whose writer grep -q may leave early: under
# pipefail that answers "no", and a session judged dead is started again
# under the tests running in it.
display_alive() {
  local pid
  pid=$(cat "$state/xvfb.pid" 2>/dev/null) && kill -0 "$pid" 2>/dev/null &&
    grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null
}

# Sessions of several builds and tests start at the same time: a free display
# number is chosen and its Xvfb seen listening under one machine-wide lock
# (fd 8), or two sessions could take the same number, one Xvfb would fail,
# and both sessions would draw on the other's display until it went away.
start_display() {
  display_alive && return 0
  local n started=1
  exec 8>/tmp/.quorvel-display.lock
  flock 8
  for n in $(seq 91 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 8>&- 9>&- &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if display_alive && [ -e "/tmp/.X11-unix/X$n" ]; then
      echo ":$n" >"$state/display"
      started=0
      break
    fi
  done
  exec 8>&-
  [ $started -eq 0 ] && return 0
  echo "${0##*/}: could not start Xvfb" >&2
  return 1
}

stop_display() {
  if display_alive; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
  rm -f "$state/xvfb.pid" "$state/display"
}
