# Shell functions for running the Windows programs under Wine, each run on a
# display and in a Wine prefix of its own (sourced by scripts/build-windows
# and the tests in tests/win32/). Nothing here waits for a fixed time: every
# wait is for an event, bounded.

# Starts Xvfb on a display number the server chooses itself (-displayfd: no
# race with another server probing for a free number) and waits until it
# accepts connections. $1: a folder for its file. Sets DISPLAY and
# TARVEL_XVFB_PID; returns 1 when no server came up within 60 s.
tarvel_start_xvfb() {
  local file="$1/xvfb-display" i n
  : >"$file"
  Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$file" >/dev/null 2>&1 &
  TARVEL_XVFB_PID=$!
  # the number is written once the server is ready
  for i in $(seq 1 600); do
    n=$(grep -x '[0-9][0-9]*' "$file" 2>/dev/null | head -n 1)
    [ -n "$n" ] && break
    kill -0 "$TARVEL_XVFB_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  [ -n "$n" ] || return 1
  export DISPLAY=":$n"
}

# Makes a fresh Wine prefix in $1 and leaves its server running (stopped
# with tarvel_stop_wine). Windows are not handed to a window manager: none
# runs on these displays, and Wine would wait for one at every exit.
tarvel_make_prefix() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wine wineboot -i >/dev/null 2>&1 || return 1
  wineserver -w
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || return 1
  wineserver -w
  tarvel_start_wineserver
}

# For the tests of a console program: a fresh folder, $work, with a Wine
# prefix of its own in it (English, ANSI code page 1252), both gone when the
# script ends. Returns 1 when no prefix could be made.
tarvel_tool_prefix() {
  work=$(mktemp -d)
  trap 'tarvel_stop_wine; rm -rf "$work"' EXIT
  export LC_ALL=C.UTF-8
  tarvel_make_prefix "$work/prefix" >/dev/null 2>&1
}

# Starts the server of $WINEPREFIX for the whole run (a new one per program
# costs time) with its services. Started here, they write nowhere; started by
# a program's wine they would hold that program's output open after it
# ended, and whoever reads it (ctest, a pipe) would wait for ever.
tarvel_start_wineserver() {
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
}

# Stops the server of this prefix only (and its programs), and the display.
tarvel_stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  [ -n "${TARVEL_XVFB_PID:-}" ] && kill "$TARVEL_XVFB_PID" 2>/dev/null
  TARVEL_XVFB_PID=""
  return 0
}
