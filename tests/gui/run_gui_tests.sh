#!/usr/bin/env bash
# GUI tests of the real program on a private Xvfb display, bare or under the
# openbox window manager, as a user meets it.
#
#   run_gui_tests.sh TARVEL TARVEL_REPORT TARVEL_FIX [bare|openbox] [DRAG_SOURCE]
#
# The motions are made for the run (tests/support/write_motions.py).
# Everywhere:
#  - the report window on a motion: S saves cap(N).bmp beside the
#    executable; the capture has the canvas size the report implies and every
#    report line's band holds ink of that line's colour; ESC ends with exit 0;
#  - the same capture under a comma-decimal locale (built with localedef into
#    a temporary folder) is byte for byte the C locale's;
#  - a file with another extension: Return in the confirmation box means OK;
#  - no file named: the open-file dialog comes up; ESC cancels it (exit 0);
#    a typed name without extension opens NAME.vmd; HOME (empty, or holding
#    a recent-files list) gets no file and its list stays as it was;
#  - a file whose name is not valid UTF-8 dropped on the window (by
#    DRAG_SOURCE, driven by xdotool) is checked next;
#  - the title names the file and its verdict ("Tarvel — twist.vmd — Needs
#    fixing"); V shows the verdict box; F writes the VRM-ready copy beside the motion, byte for byte
#    TARVEL_FIX's, says so in a box, and writes nothing else; a second F
#    leaves the copy as it is.
# Under openbox also: the close box, maximise (limited to the report's full
# size), a border drag and its snap, and the scroll bar thumb following the
# wheel and a thumb drag.
#
# Exit 0 when all pass, 77 when they cannot run here (a tool or the drag
# source missing), 1 on a failure. Every wait has a
# timeout. With TARVEL_SCREENSHOT=FILE the report window is also saved there.
set -u

tarvel=${1:?usage: run_gui_tests.sh TARVEL TARVEL_REPORT TARVEL_FIX [bare|openbox] [DRAG_SOURCE]}
report_tool=${2:?}
fix_tool=${3:?}
wm=${4:-bare}
drag_source=${5:-}

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL [$wm]: $*"; failed=1; }
failed=0

for tool in Xvfb xdotool xwininfo xprop import python3 localedef; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool not installed"
done
[ "$wm" = bare ] || command -v "$wm" >/dev/null 2>&1 || skip "$wm not installed"
[ -x "$tarvel" ] || skip "no program at $tarvel"
[ -x "$report_tool" ] || skip "no report tool at $report_tool"
[ -x "$fix_tool" ] || skip "no fix tool at $fix_tool"
[ -n "$drag_source" ] && [ -x "$drag_source" ] || skip "no drag source program"
exedir=$(cd "$(dirname "$tarvel")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
app_pid=""
captures_before=$(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort)
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  # captures the tests made and did not take away
  comm -13 <(echo "$captures_before") <(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort) |
    while read -r f; do [ -n "$f" ] && rm -f "$f"; done
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
gen="$work/generated"
python3 "$(dirname "$0")/../support/write_motions.py" "$gen" || skip "could not write the motions"
sample=$gen/typical.vmd small=$gen/small.vmd tall=$gen/tall.vmd other=$gen/typical.vmd

# ---- a display of our own, the user's environment ---------------------------------
exec 5>"$work/displayfd"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 5>&-
for _ in $(seq 1 100); do
  [ -s "$work/displayfd" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/displayfd" ] || skip "could not start Xvfb"
export DISPLAY=":$(head -n 1 "$work/displayfd")"
if [ "$wm" != bare ]; then
  "$wm" >"$work/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 1 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi
# A fresh user: an empty home, a session's runtime folder, no session bus,
# no settings backend chosen (the program chooses its own).
home="$work/home"
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$home XDG_RUNTIME_DIR=$work/runtime NO_AT_BRIDGE=1 LC_ALL=C.UTF-8
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME DBUS_SESSION_BUS_ADDRESS GSETTINGS_BACKEND LANG LANGUAGE
mkdir -p "$work/locale" "$work/motions"
localedef -i de_DE -f UTF-8 "$work/locale/de_DE.UTF-8" >/dev/null 2>&1 ||
  skip "localedef cannot build de_DE.UTF-8 (locales not installed)"

# Waits up to $2 seconds for process $1 (a child of this shell) to end and
# sets rc to its exit code, or to "timeout" (the process is then killed).
wait_exit() {
  local pid=$1 limit=$2 i
  for i in $(seq 1 $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rc=timeout
    return
  fi
  wait "$pid"
  rc=$?
}

# Starts the program with the given arguments (log in $work/app.log).
start() {
  env ${app_env:-} "$tarvel" "$@" >>"$work/app.log" 2>&1 &
  app_pid=$!
}
# Ends the program with a key in its window and checks the exit code.
finish() {  # finish KEY EXPECTED WHAT
  [ -n "$1" ] && timeout 5 xdotool key "$1"
  wait_exit "$app_pid" 10
  app_pid=""
  [ "$rc" = "$2" ] || fail "$3: exit code $rc (expected $2)"
}
# The visible window titled $1 of the running program, waited for; a
# report window also until the report is drawn (keys typed before that are
# dropped, as the program flushes its input when it opens a file).
window() {
  local w
  for _ in $(seq 1 100); do
    w=$(xdotool search --onlyvisible --pid "$app_pid" --name "$1" 2>/dev/null | head -n 1)
    [ -n "$w" ] && break
    kill -0 "$app_pid" 2>/dev/null || return
    sleep 0.1
  done
  [ -n "$w" ] || return
  if [ "${1#^Tarvel — }" != "$1" ]; then
    for _ in $(seq 1 100); do
      [ "$(import -window "$w" -format '%[max]' info: 2>/dev/null)" != 0 ] && break
      sleep 0.1
    done
  fi
  sleep 0.4
  echo "$w"
}
focus() {
  timeout 5 xdotool mousemove --window "$1" 40 40
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || timeout 5 xdotool windowfocus "$1"
}
drag() {  # the left button from (X, Y) by (DX, DY), in three steps
  timeout 5 xdotool mousemove "$1" "$2" mousedown 1
  for part in 1 2 3; do
    timeout 5 xdotool mousemove $(($1 + $3 * part / 3)) $(($2 + $4 * part / 3))
    sleep 0.15
  done
  timeout 5 xdotool mouseup 1
}
geometry() {  # X Y WIDTH HEIGHT of the window's client area on the screen
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# S in the report window: the new capture's path (complete), or nothing.
# S is typed again when nothing comes: a window that has just replaced the
# open-file dialog may miss the first key.
capture() {
  local before now f last size
  before=$(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort)
  for i in $(seq 1 150); do
    [ $((i % 50)) = 1 ] && timeout 5 xdotool key S
    now=$(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort)
    f=$(comm -13 <(echo "$before") <(echo "$now") | head -n 1)
    [ -n "$f" ] && break
    sleep 0.1
  done
  [ -n "$f" ] || return
  last=-1
  for _ in $(seq 1 50); do  # complete once its size stops growing
    size=$(stat -c %s "$f")
    [ "$size" = "$last" ] && break
    last=$size
    sleep 0.2
  done
  local kept
  kept=$(mktemp "$work/captureXXXX")
  mv "$f" "$kept"
  echo "$kept"
}

# The capture $1 against the report of motion $2: canvas size, ink per line.
check_capture() {
  "$report_tool" "$2" >"$work/report.txt" 2>/dev/null || { fail "report tool failed on $2"; return; }
  python3 - "$1" "$work/report.txt" <<'EOF' || fail "capture $1 does not match the report of $2"
import struct, sys
bmp = open(sys.argv[1], 'rb').read()
lines = []
for raw in open(sys.argv[2], encoding='utf-8', errors='replace').read().split('\n'):
    if raw.startswith('#verdict'):
        break
    if raw.startswith('# ') or not raw:
        continue
    colour, _, text = raw.partition('\t')
    lines.append((int(colour[0:2], 16), int(colour[2:4], 16), int(colour[4:6], 16), text))
widest = max(len(t.encode('shift_jis_2004', errors='replace')) for *_, t in lines)
W, H = max(512, 8 * widest + 16), max(96, 17 * len(lines))
if bmp[:2] != b'BM':
    sys.exit('not a BMP')
w, h = struct.unpack_from('<ii', bmp, 18)
if (w, h) != (W, H):
    sys.exit('capture is %dx%d, the report implies %dx%d' % (w, h, W, H))
row = (3 * w + 3) // 4 * 4
if len(bmp) != 54 + row * h:
    sys.exit('capture has %d bytes' % len(bmp))
def pixel(x, y):  # rows are stored bottom-up, blue green red
    o = 54 + (h - 1 - y) * row + 3 * x
    return bmp[o + 2], bmp[o + 1], bmp[o]
bad = 0
for i, (r, g, b, text) in enumerate(lines):
    top = 17 * i
    band = [pixel(x, y) for y in range(top + 2, min(top + 17, h)) for x in range(w)]
    if not text.strip():
        if i == 0 and any(p != (0, 0, 0) for p in band):
            print('line 0 is not blank'); bad += 1
        continue
    full = (r * 255 >> 8, g * 255 >> 8, b * 255 >> 8)  # full coverage on black
    if full not in band:
        print('line %d: no ink of colour %02x%02x%02x' % (i, r, g, b)); bad += 1
sys.exit(1 if bad else 0)
EOF
}

# The report window on motion $1 under the locale $2; the capture's path is
# left in last_cap.
report_capture() {
  last_cap=""
  app_env="LC_ALL=$2 LOCPATH=$work/locale" start "$1"
  wid=$(window '^Tarvel — ')
  if [ -z "$wid" ]; then
    fail "the report window did not appear ($2)"
    finish "" 0 "report window ($2)"
    return
  fi
  focus "$wid"
  last_cap=$(capture)
  [ -n "$last_cap" ] || fail "S saved no capture beside the executable ($2)"
  if [ -n "${TARVEL_SCREENSHOT:-}" ] && [ "$2" = C.UTF-8 ]; then
    timeout 10 import -window "$wid" "$TARVEL_SCREENSHOT"
  fi
  finish Escape 0 "report window after ESC ($2)"
}

# ---- the report window, in two locales -----------------------------------------------
report_capture "$sample" C.UTF-8
cap_c=$last_cap
[ -n "$cap_c" ] && check_capture "$cap_c" "$sample"
report_capture "$sample" de_DE.UTF-8
if [ -n "$cap_c" ] && [ -n "$last_cap" ]; then
  cmp -s "$cap_c" "$last_cap" || fail "the capture under de_DE.UTF-8 differs from the C locale's"
fi

# ---- the extension box: Return means OK ------------------------------------------------
cp "$small" "$work/motions/walk.txt"
start "$work/motions/walk.txt"
bid=$(window '.')
if [ -z "$bid" ]; then
  fail "the extension box did not appear"
else
  focus "$bid"
  timeout 5 xdotool key Return
  wid=$(window '^Tarvel — ')
  [ -n "$wid" ] || fail "Return in the extension box did not go on to the report"
  [ -n "$wid" ] && focus "$wid"
fi
finish Escape 0 "extension box answered with Return"

# ---- the open-file dialog, HOME untouched ----------------------------------------------------
mkdir -p "$work/dialog"
cp "$small" "$work/dialog/walk.vmd"
files_in_home() { (cd "$home" && find . -type f | sort); }
open_dialog() {  # starts the program without a file; did: the dialog, focused
  start
  did=$(window '.')
  [ -n "$did" ] && { focus "$did"; return 0; }
  fail "the open-file dialog did not appear ($1)"
  finish "" 0 "open-file dialog ($1)"
  return 1
}
open_dialog "to cancel" && finish Escape 0 "open-file dialog cancelled with ESC"
dialog_walk() {  # the dialog, a typed name without extension, the report
  open_dialog "$1" || return
  timeout 5 xdotool key ctrl+l
  sleep 0.3
  timeout 10 xdotool type --delay 20 "$work/dialog/walk"
  sleep 0.5
  timeout 5 xdotool key Delete  # what the entry's completion may have added
  sleep 0.2
  timeout 5 xdotool key Return
  for _ in $(seq 1 100); do  # the dialog closes
    xwininfo -id "$did" 2>/dev/null | grep -q IsViewable || break
    sleep 0.1
  done
  wid=$(window '^Tarvel — ')
  if [ -z "$wid" ]; then
    fail "a typed name without extension did not open walk.vmd ($1)"
  else
    focus "$wid"
    cap=$(capture)
    [ -n "$cap" ] && check_capture "$cap" "$work/dialog/walk.vmd"
    [ -n "$cap" ] || { fail "typed name without extension: S saved no capture ($1)"; cat $work/app.log; }
  fi
  finish Escape 0 "typed name without extension ($1)"
}
dialog_walk "empty home"
[ -z "$(files_in_home)" ] || fail "files written in HOME: $(files_in_home | tr '\n' ' ')"
rm -rf "$home" && mkdir -p "$home/.local/share"
cat >"$home/.local/share/recently-used.xbel" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///tmp/kept.txt" added="2026-01-01T00:00:00Z" modified="2026-01-01T00:00:00Z" visited="2026-01-01T00:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="text/plain"/><bookmark:applications>
      <bookmark:application name="editor" exec="&apos;editor %u&apos;" modified="2026-01-01T00:00:00Z" count="1"/>
    </bookmark:applications></metadata></info>
  </bookmark>
</xbel>
EOF
cp "$home/.local/share/recently-used.xbel" "$work/recent.orig"
dialog_walk "home with a recent-files list"
cmp -s "$work/recent.orig" "$home/.local/share/recently-used.xbel" ||
  fail "the user's recent-files list was changed"
[ "$(files_in_home)" = "./.local/share/recently-used.xbel" ] ||
  fail "files written in HOME: $(files_in_home | tr '\n' ' ')"
grep -qi dconf "$work/app.log" && fail "dconf messages: $(grep -i dconf "$work/app.log" | head -n 2)"

# ---- a real drop of a file whose name is not valid UTF-8 ----------------------------------------
odd="$work/motions/$(printf 'm\xff\xfeotion.vmd')"
cp "$other" "$odd"
start "$small"
wid=$(window '^Tarvel — ')
"$drag_source" "$odd" >"$work/drag.log" 2>&1 &
drag_pid=$!
sid=$(app_pid=$drag_pid window '^tarvel drag source$')
if [ -z "$wid" ] || [ -z "$sid" ]; then
  fail "drop: the report window or the drag source did not appear"
else
  read -r sx sy sw sh < <(geometry "$sid")
  read -r tx ty tw th < <(geometry "$wid")
  fx=$((sx + sw / 2)); fy=$((sy + sh / 2)); cx=$((tx + tw / 2)); cy=$((ty + th / 2))
  timeout 5 xdotool mousemove "$fx" "$fy" mousedown 1
  for i in 1 2 3 4 5 6 7 8; do
    timeout 5 xdotool mousemove $((fx + (cx - fx) * i / 8)) $((fy + (cy - fy) * i / 8))
    sleep 0.15
  done
  timeout 5 xdotool mousemove $((cx + 1)) $((cy + 1))
  sleep 0.3
  timeout 5 xdotool mouseup 1
  sleep 1.5
  focus "$wid"
  cap=$(capture)
  if [ -z "$cap" ]; then
    fail "drop: S saved no capture"
  else
    check_capture "$cap" "$odd"
  fi
fi
kill "$drag_pid" 2>/dev/null
wait "$drag_pid" 2>/dev/null
finish Escape 0 "report window after the drop"

# ---- the title, and F: the VRM-ready copy -------------------------------------------------
mkdir -p "$work/fix" "$work/by-tool"
cp "$gen/twist.vmd" "$work/fix/twist.vmd"
cp "$gen/twist.vmd" "$work/by-tool/twist.vmd"
"$fix_tool" "$work/by-tool/twist.vmd" >/dev/null 2>&1 || fail "the fix tool made no copy of twist.vmd"
start "$work/fix/twist.vmd"
wid=$(window '^Tarvel — twist\.vmd — ')
key_box() {  # KEY in the report window, then the box it shows, closed with Return
  focus "$wid"
  timeout 5 xdotool key "$1"
  local bid
  bid=$(window '^Tarvel$')
  [ -n "$bid" ] || { fail "$1 showed no box ($2)"; return; }
  focus "$bid"
  timeout 5 xdotool key Return
  for _ in $(seq 1 50); do
    xwininfo -id "$bid" 2>/dev/null | grep -q IsViewable || break
    sleep 0.1
  done
}
if [ -z "$wid" ]; then
  fail "no report window titled 'Tarvel — twist.vmd — ...'"
else
  title=$(xprop -id "$wid" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
  [ "$title" = "Tarvel — twist.vmd — Needs fixing" ] || fail "the window's title is '$title'"
  if [ -n "${TARVEL_TITLE_SCREENSHOT:-}" ]; then
    timeout 10 import -window root "$TARVEL_TITLE_SCREENSHOT"
  fi
  key_box v "the verdict"
  key_box f "the first copy"
  cmp -s "$work/by-tool/twist.vrm.vmd" "$work/fix/twist.vrm.vmd" ||
    fail "F wrote no copy, or not the fix tool's"
  key_box F "the second copy"
  cmp -s "$work/by-tool/twist.vrm.vmd" "$work/fix/twist.vrm.vmd" || fail "a second F changed the copy"
  [ "$(ls -A "$work/fix" | tr '\n' ' ')" = "twist.vmd twist.vrm.vmd " ] ||
    fail "F wrote other files: $(ls -A "$work/fix" | tr '\n' ' ')"
  focus "$wid"
fi
finish Escape 0 "report window after F"

# ---- under a window manager: frame, maximise, snap, scroll bars -------------------------------
if [ "$wm" != bare ]; then
  start "$small"
  wid=$(window '^Tarvel — ')
  if [ -z "$wid" ]; then
    fail "the report window did not appear ($wm)"
  else
    read -r x y w h < <(geometry "$wid")
    top=$(xprop -id "$wid" _NET_FRAME_EXTENTS | awk -F'[=,]' '{print $4 + 0}')
    # maximise by a double click on the title bar: no bigger than the report
    timeout 5 xdotool mousemove $((x + 40)) $((y - top / 2)) click --repeat 2 --delay 80 1
    sleep 1
    read -r mx my mw mh < <(geometry "$wid")
    xprop -id "$wid" _NET_WM_STATE | grep -q MAXIMIZED_VERT || fail "the window did not maximise"
    [ "$mw" -le "$w" ] && [ "$mh" -le "$h" ] ||
      fail "maximised to ${mw}x${mh}, beyond the report's ${w}x${h}"
    timeout 5 xdotool mousemove $((mx + 40)) $((my - top / 2)) click --repeat 2 --delay 80 1
    sleep 1
    # drags of the right border: inwards, the snap makes room for the
    # horizontal bar; outwards past the report's width, the window snaps
    # back to the report's size
    read -r x y w h < <(geometry "$wid")
    drag_right() {  # from the current right edge by $1 pixels
      local gx gy gw gh
      read -r gx gy gw gh < <(geometry "$wid")
      drag $((gx + gw)) $((gy + gh / 2)) "$1" 0
      sleep 1
    }
    drag_right -100
    read -r _ _ sw sh < <(geometry "$wid")
    [ "$sw" -lt "$w" ] && [ "$sh" -gt "$h" ] ||
      fail "border drag inwards: ${sw}x${sh} after the snap (from ${w}x${h}; no room for the bar)"
    drag_right 160
    read -r _ _ sw sh < <(geometry "$wid")
    [ "$sw" = "$w" ] && [ "$sh" = "$h" ] || fail "border drag outwards: ${sw}x${sh} after the snap, not ${w}x${h}"
    # the close box, at the right end of the title bar
    read -r x y w h < <(geometry "$wid")
    timeout 5 xdotool mousemove $((x + w - 8)) $((y - top / 2)) click 1
  fi
  finish "" 0 "report window closed with the close box"

  # The vertical bar's thumb: the first and last rows of its darkest run.
  thumb() {  # thumb X Y0 Y1
    import -window root -crop "1x$(($3 - $2))+$1+$2" txt:- 2>/dev/null | python3 -c '
import re, sys
dark, top = [], 255
for line in sys.stdin:
    h = re.match(r"# ImageMagick pixel enumeration: \d+,\d+,(\d+),", line)
    if h:
        top = int(h.group(1))
    m = re.match(r"0,\d+: \((\d+),(\d+),(\d+)", line)
    if m:
        dark.append(sum(int(v) for v in m.groups()) * 255 < 3 * 150 * top)
best, start = (0, -1, -1), None
for i, d in enumerate(dark + [False]):
    if d and start is None: start = i
    if not d and start is not None:
        best = max(best, (i - start, start, i - 1)); start = None
print(best[1], best[2])'
  }
  start "$tall"
  wid=$(window '^Tarvel — ')
  if [ -z "$wid" ]; then
    fail "the report window did not appear ($wm, tall report)"
  else
    focus "$wid"
    read -r x y w h < <(geometry "$wid")
    # drag the bottom border up: the vertical bar appears
    drag $((x + w / 2)) $((y + h + 1)) 0 -300
    sleep 1
    read -r x y w h < <(geometry "$wid")
    col=$((x + w - 6))
    read -r t0 b0 < <(thumb "$col" "$y" $((y + h)))
    if [ "$t0" -lt 0 ]; then
      fail "no vertical scroll bar after the border drag (window $x,$y ${w}x$h)"
    else
      timeout 5 xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 5
      sleep 0.7
      read -r t1 b1 < <(thumb "$col" "$y" $((y + h)))
      [ "$t1" -gt "$t0" ] || fail "the thumb did not follow the wheel (top $t0 -> $t1)"
      # a thumb drag of 30 pixels starts where the thumb is shown
      mid=$(((t1 + b1) / 2))
      drag "$col" $((y + mid)) 0 30
      sleep 0.7
      timeout 5 xdotool mousemove $((x + w / 2)) $((y + h / 2))
      sleep 0.3
      read -r t2 b2 < <(thumb "$col" "$y" $((y + h)))
      [ $((t2 - t1)) -ge 28 ] && [ $((t2 - t1)) -le 32 ] ||
        fail "a thumb drag of 30 pixels moved it from $t1 to $t2"
    fi
  fi
  finish Escape 0 "tall report window after ESC"
fi

if [ "$failed" = 0 ]; then
  echo "PASS [$wm]: report window and capture in two locales, extension box, open-file dialog, drop, title, V and F"
  [ "$wm" != bare ] && echo "PASS [$wm]: maximise, border snap, close box, scroll bar thumb"
  exit 0
fi
echo "--- program output ---"
cat "$work/app.log" 2>/dev/null
exit 1
