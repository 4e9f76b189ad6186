#!/usr/bin/env bash
# Smoke test of tarvel.exe under Wine on an X display (Xvfb):
#
#   smoke.sh TARVEL_EXE TARVEL_REPORT_EXE SAMPLES_DIR
#
# 1. On a sample motion the report window opens; S writes cap(1).bmp beside
#    the executable with the canvas size the report implies (the report as
#    the Linux report tool prints it when TARVEL_LINUX_REPORT names one, and
#    as tarvel-report.exe prints it: both must agree); ESC ends with exit 0.
# 2. A file without the ".VMD" extension raises the confirmation box;
#    Cancel (ESC) ends the run with exit 16.
# 3. No file named: the open-file dialog comes up; cancelling it ends the
#    run with exit 0.
#
# Needs DISPLAY, wine and xdotool (scripts/build-windows provides them).
# Exit 0 when all pass, 77 when it cannot run here, 1 on a failure.
set -u

tarvel=${1:?usage: smoke.sh TARVEL_EXE TARVEL_REPORT_EXE SAMPLES_DIR}
report_tool=${2:?}
samples=${3:?}

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0

for tool in wine winepath xdotool python3; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool not installed"
done
[ -n "${DISPLAY:-}" ] || skip "no DISPLAY"
[ -f "$tarvel" ] || skip "no program at $tarvel"
sample=""
for name in mmd_base__sample_motion2.vmd MikuMikuAR__sample.vmd; do
  [ -r "$samples/$name" ] && { sample="$samples/$name"; break; }
done
[ -n "$sample" ] || sample=$(ls "$samples"/*.vmd 2>/dev/null | head -n 1)
[ -n "$sample" ] && [ -r "$sample" ] || skip "no sample motion in $samples"

export WINEDEBUG=-all
exedir=$(cd "$(dirname "$tarvel")" && pwd)
work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The program and its font in a folder of their own: captures land there.
cp "$tarvel" "$work/tarvel.exe"
cp "$exedir/mplus-2m-regular.ttf" "$work/" 2>/dev/null || skip "no font beside $tarvel"
winpath() { winepath -w "$1" 2>/dev/null; }

# Starts tarvel.exe with the arguments given (in the background).
start() {
  (cd "$work" && exec wine "$work/tarvel.exe" "$@") >"$work/run.log" 2>&1 &
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

# The id of a visible window whose name matches $1, waiting up to $2 seconds.
find_window() {
  local i id
  for i in $(seq 1 $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

press() {  # window key
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key --window "$1" "$2" 2>/dev/null || xdotool key "$2"
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
if [ -n "${TARVEL_LINUX_REPORT:-}" ]; then
  if [ -x "$TARVEL_LINUX_REPORT" ]; then
    linux=$("$TARVEL_LINUX_REPORT" "$sample" 2>/dev/null | canvas_size)
    [ "$linux" = "$expected" ] || fail "report sizes differ: Linux $linux, Windows $expected"
  else
    fail "TARVEL_LINUX_REPORT names no program: $TARVEL_LINUX_REPORT"
  fi
fi
start "$(winpath "$sample")"
if win=$(find_window '^Tarvel' 30); then
  press "$win" s
  for _ in $(seq 1 100); do
    [ -s "$work/cap(1).bmp" ] && break
    sleep 0.1
  done
  sleep 0.5  # the capture is written row by row
  if [ -s "$work/cap(1).bmp" ]; then
    got=$(python3 -c '
import struct, sys
d = open(sys.argv[1], "rb").read()
w, h = struct.unpack("<ii", d[18:26])
size = struct.unpack("<I", d[2:6])[0]
ok = d[:2] == b"BM" and size == len(d) == ((3 * w + 3) // 4 * 4) * h + 54
print(w, h if ok else "bad-file")
' "$work/cap(1).bmp")
    [ "$got" = "$expected" ] || fail "capture is $got, the report implies $expected"
  else
    fail "S wrote no cap(1).bmp"
  fi
  press "$win" Escape
  wait_exit 20
  [ "$rc" = 0 ] || fail "ESC ended the run with $rc (expected 0)"
else
  fail "no report window for $sample"
  wait_exit 1
fi

# ---- 2. no ".VMD" extension: the confirmation box, Cancel -------------------------
cp "$sample" "$work/notes.txt"
start "$(winpath "$work/notes.txt")"
if box=$(find_window '^Brenwick$' 30); then
  press "$box" Escape
  wait_exit 20
  [ "$rc" = 16 ] || fail "Cancel ended the run with $rc (expected 16)"
else
  fail "no confirmation box for notes.txt"
  wait_exit 1
fi

# ---- 3. no file named: the open-file dialog, cancelled ----------------------------
start
if dlg=$(find_window '^Open MMD Motion File$' 30); then
  press "$dlg" Escape
  wait_exit 20
  [ "$rc" = 0 ] || fail "cancelling the dialog ended the run with $rc (expected 0)"
else
  fail "no open-file dialog without a file"
  wait_exit 1
fi

[ "$failed" = 0 ] && echo "smoke test passed"
exit "$failed"
