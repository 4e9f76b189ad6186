#!/usr/bin/env bash
# Smoke test of the Windows programs under Wine, on an X display (Xvfb) and
# in a Wine prefix of its own, made fresh for this run (English, code page
# 1252):
#
#   smoke.sh TARVEL_EXE TARVEL_REPORT_EXE
#
# The motions are made for the run (tests/support/write_motions.py).
# 1. On a motion the report window opens; S writes cap(1).bmp beside
#    the executable with the canvas size the report implies (the report as
#    tarvel-report.exe prints it; part 4 holds it to the Linux tool's); ESC
#    ends with exit 0.
# 2. A file without the ".VMD" extension raises the confirmation box;
#    Cancel (ESC) ends the run with exit 16.
# 3. No file named: the open-file dialog comes up; cancelling it ends the
#    run with exit 0.
# 4. tarvel-report.exe on a motion with a Japanese name, in a folder with a
#    Japanese name and spaces: its report is UTF-8 and names the file; it
#    equals the Linux tool's byte for byte (with TARVEL_LINUX_REPORT); in a
#    console (a pseudo-terminal) it shows the same text. A name that code
#    page 1252 holds only as a look-alike is read as itself.
# 5. --version: both programs print the same version to a pipe and exit 0,
#    the window program without opening a window.
# 6. The title of a motion with a Japanese name, in code page 1252, names it
#    and its verdict whole ("Tarvel — 踊り.vmd — Needs fixing"); F writes the
#    VRM-ready copy beside it (the same bytes as tarvel-fix.exe's, when it
#    is beside TARVEL_EXE) and tells of it in a box titled "Tarvel".
#
# Every wait is for an event (a window shown and focused, a program ended),
# bounded; nothing is shared with another run.
# Needs wine, Xvfb, xdotool, python3. Exit 0 when all pass, 77 when it
# cannot run here, 1 on a failure.
set -u

tarvel=${1:?usage: smoke.sh TARVEL_EXE TARVEL_REPORT_EXE}
report_tool=${2:?}
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=test_lib.sh
. "$here/test_lib.sh"
tarvel_needs "$tarvel" wine wineserver winepath Xvfb xdotool python3
report_tool=$(realpath "$report_tool")

# shellcheck source=wine_env.sh
. "$here/wine_env.sh"
exedir=$(cd "$(dirname "$tarvel")" && pwd)
work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  tarvel_stop_wine
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/../support/write_motions.py" "$work/gen" || skip "could not write the motions"
sample=$work/gen/small.vmd  # lines shorter than a console's 80 columns

# An English system: the ANSI code page is 1252.
export LC_ALL=C.UTF-8
tarvel_start_xvfb "$work" || skip "could not start Xvfb"
echo "smoke: display $DISPLAY, making a Wine prefix"
tarvel_make_prefix "$work/prefix" || skip "could not make a Wine prefix"

# The program and its font in a folder of their own: captures land there.
mkdir "$work/app"
cp "$tarvel" "$work/app/tarvel.exe"
cp "$exedir/mplus-2m-regular.ttf" "$work/app/" 2>/dev/null || skip "no font beside $tarvel"
winpath() { winepath -w "$1" 2>/dev/null; }

# Starts tarvel.exe with the arguments given (in the background).
start() {
  (cd "$work/app" && exec wine "$work/app/tarvel.exe" "$@") >"$work/run.log" 2>&1 &
  app_pid=$!
}

# Waits up to $1 seconds for the program to end; rc = its exit code or "timeout".
wait_exit() {
  local i
  for i in $(seq 1 $(($1 * 10))); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    rc=timeout
  else
    wait "$app_pid"
    rc=$?
  fi
  app_pid=""
}

# The id of a visible window whose name matches $1, waiting up to $2 seconds
# (the program still running).
find_window() {
  local i id
  for i in $(seq 1 $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Types key $2 into window $1 once it has the keyboard focus (the keys go
# through XTEST to the focused window, as a user's would).
press() {
  local i
  for i in $(seq 1 100); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && { xdotool key "$2"; return 0; }
    xdotool windowfocus "$1" 2>/dev/null
    sleep 0.1
  done
  echo "smoke: window $1 never got the focus"
  return 1
}

# Canvas size the report implies: W = max(512, 8 x widest Shift-JIS line + 16),
# H = max(96, 17 x lines), from the report tool's "colour<TAB>text" lines.
canvas_size() {
  python3 -c '
import sys
lines = []
for raw in sys.stdin.buffer.read().split(b"\n"):
    raw = raw.rstrip(b"\r")
    if raw.startswith(b"#verdict"):
        break
    if len(raw) >= 7 and raw[6:7] == b"\t":
        lines.append(raw[7:].decode("utf-8").encode("shift_jis_2004"))
widest = max([len(l) for l in lines] + [0])
print(max(512, 8 * widest + 16), max(96, 17 * len(lines)))
'
}

# ---- 1. the report window, a capture, ESC -----------------------------------------
expected=$(wine "$report_tool" "$(winpath "$sample")" 2>/dev/null | canvas_size)
start "$(winpath "$sample")"
# The size a BMP file declares in its header (once its first 6 bytes are written).
bmp_declared() { [ "$(head -c 2 "$1" 2>/dev/null)" = BM ] && od -An -tu4 -j2 -N4 "$1" | tr -d ' '; }

# Waits up to $2 seconds until the BMP file $1 has all the bytes its header
# declares (it is written row by row).
wait_bmp() {
  local i size
  for i in $(seq 1 $(($2 * 10))); do
    size=$(stat -c %s "$1" 2>/dev/null || echo 0)
    [ "$size" -gt 54 ] && [ "$size" = "$(bmp_declared "$1")" ] && return 0
    sleep 0.1
  done
  return 1
}

if win=$(find_window '^Tarvel' 60); then
  # ESC only once the capture is whole: the window keeps one typed key at a
  # time, so a key typed before the program took S would replace it.
  press "$win" s && wait_bmp "$work/app/cap(1).bmp" 60
  press "$win" Escape
  wait_exit 60
  [ "$rc" = 0 ] || fail "ESC ended the run with $rc (expected 0)"
  if [ -s "$work/app/cap(1).bmp" ]; then
    got=$(python3 -c '
import struct, sys
d = open(sys.argv[1], "rb").read()
w, h = struct.unpack("<ii", d[18:26])
size = struct.unpack("<I", d[2:6])[0]
ok = d[:2] == b"BM" and size == len(d) == ((3 * w + 3) // 4 * 4) * h + 54
print(w, h if ok else "bad-file")
' "$work/app/cap(1).bmp")
    [ "$got" = "$expected" ] || fail "capture is $got, the report implies $expected"
  else
    fail "S wrote no cap(1).bmp"
  fi
else
  fail "no report window for $sample"
  wait_exit 1
fi

# ---- 2. no ".VMD" extension: the confirmation box, Cancel -------------------------
cp "$sample" "$work/notes.txt"
start "$(winpath "$work/notes.txt")"
if box=$(find_window '^Brenwick$' 60); then
  press "$box" Escape
  wait_exit 60
  [ "$rc" = 16 ] || fail "Cancel ended the run with $rc (expected 16)"
else
  fail "no confirmation box for notes.txt"
  wait_exit 1
fi

# ---- 3. no file named: the open-file dialog, cancelled ----------------------------
start
if dlg=$(find_window '^Open MMD Motion File$' 60); then
  press "$dlg" Escape
  wait_exit 60
  [ "$rc" = 0 ] || fail "cancelling the dialog ended the run with $rc (expected 0)"
else
  fail "no open-file dialog without a file"
  wait_exit 1
fi

# ---- 4. tarvel-report.exe: a Japanese name in code page 1252 -----------------------
jp="$work/日本語 フォルダ"
name="踊り テスト.vmd"
mkdir "$jp"
cp "$sample" "$jp/$name"
(cd "$jp" && wine "$report_tool" "$name") >"$work/report-win.txt" 2>/dev/null
rc=$?
[ "$rc" = 0 ] || fail "tarvel-report.exe on $name ended with $rc (expected 0)"
head -n 3 "$work/report-win.txt" >"$work/head-win.txt"
printf '# %s\n000000\t\nffffff\t%s\n' "$name" "$name" | cmp -s - "$work/head-win.txt" ||
  fail "tarvel-report.exe does not name $name in UTF-8: $(od -c "$work/head-win.txt" | head -n 4)"
if [ -n "${TARVEL_LINUX_REPORT:-}" ] && [ -x "$TARVEL_LINUX_REPORT" ]; then
  (cd "$jp" && "$TARVEL_LINUX_REPORT" "$name") >"$work/report-linux.txt" 2>/dev/null
  cmp -s "$work/report-linux.txt" "$work/report-win.txt" ||
    fail "the reports of $name differ: $(diff "$work/report-linux.txt" "$work/report-win.txt" | head -n 6)"
fi
# A name the code page holds only as a look-alike ("a" for "ā") is read as
# itself, never as the file the look-alike names: its report, past the lines
# naming it, is that of the same motion under a plain name.
other=$work/gen/typical.vmd
if [ -n "$other" ]; then
  cp "$sample" "$jp/a.vmd"
  cp "$other" "$jp/ā.vmd"
  cp "$other" "$jp/plain.vmd"
  (cd "$jp" && wine "$report_tool" "ā.vmd") 2>/dev/null | tail -n +4 >"$work/lookalike.txt"
  (cd "$jp" && wine "$report_tool" "plain.vmd") 2>/dev/null | tail -n +4 >"$work/plain.txt"
  cmp -s "$work/lookalike.txt" "$work/plain.txt" ||
    fail "ā.vmd was not read as itself: $(diff "$work/plain.txt" "$work/lookalike.txt" | head -n 4)"
fi
# In a console the same text (the console lays out tabs and line ends itself).
if command -v script >/dev/null 2>&1; then
  console_text() { sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r' | tr -s ' \t' ' ' | sed 's/ *$//'; }
  (cd "$jp" && script -qec "wine '$report_tool' '$name'" /dev/null) </dev/null >"$work/report-console.txt" 2>&1
  console_text <"$work/report-win.txt" >"$work/a.txt"
  console_text <"$work/report-console.txt" >"$work/b.txt"
  cmp -s "$work/a.txt" "$work/b.txt" ||
    fail "the console shows another text: $(diff "$work/a.txt" "$work/b.txt" | head -n 6)"
fi

# ---- 5. --version of both programs ------------------------------------------------
v_window=$(cd "$work/app" && wine "$work/app/tarvel.exe" -ND --version 2>/dev/null)
rc=$?
v_report=$(wine "$report_tool" --version 2>/dev/null)
case "$v_window" in "tarvel "[0-9]*) ;; *) fail "tarvel.exe --version printed '$v_window'" ;; esac
[ "$rc" = 0 ] || fail "tarvel.exe --version ended with $rc (expected 0)"
[ "${v_report#tarvel-report }" = "${v_window#tarvel }" ] ||
  fail "the programs give other versions: '$v_window', '$v_report'"

# ---- 6. the title in UTF-16, and F: the VRM-ready copy -----------------------------
mkdir "$work/fix" "$work/by-tool"
cp "$work/gen/twist.vmd" "$work/fix/踊り.vmd"
start "$(winpath "$work/fix/踊り.vmd")"
if win=$(find_window '^Tarvel — 踊り\.vmd' 60); then
  title=$(xprop -id "$win" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
  [ "$title" = "Tarvel — 踊り.vmd — Needs fixing" ] || fail "the window's title is '$title'"
  press "$win" f
  if box=$(find_window '^Tarvel$' 60); then
    press "$box" Return
  else
    fail "F showed no box"
  fi
  press "$win" Escape
  wait_exit 60
  [ "$rc" = 0 ] || fail "ESC after F ended the run with $rc (expected 0)"
  [ -s "$work/fix/踊り.vrm.vmd" ] || fail "F wrote no copy beside 踊り.vmd"
  [ "$(ls -A "$work/fix" | tr '\n' ' ')" = "踊り.vmd 踊り.vrm.vmd " ] ||
    fail "F wrote other files: $(ls -A "$work/fix" | tr '\n' ' ')"
  if [ -f "$exedir/tarvel-fix.exe" ]; then
    cp "$work/gen/twist.vmd" "$work/by-tool/踊り.vmd"
    wine "$exedir/tarvel-fix.exe" "$(winpath "$work/by-tool/踊り.vmd")" >/dev/null 2>&1
    cmp -s "$work/by-tool/踊り.vrm.vmd" "$work/fix/踊り.vrm.vmd" ||
      fail "F's copy is not tarvel-fix.exe's"
  fi
else
  fail "no report window titled 'Tarvel — 踊り.vmd — ...'"
  wait_exit 1
fi

[ "$failed" = 0 ] && echo "smoke test passed"
exit "$failed"
