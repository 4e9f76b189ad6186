#!/usr/bin/env bash
# GUI tests of the real program under a private Xvfb display.
#
#   run_gui_tests.sh TARVEL TARVEL_REPORT SAMPLES_DIR
#
# 1. The report window on a real motion: S saves cap(N).bmp beside the
#    executable; the capture has the canvas size the report implies and every
#    report line's band holds ink of that line's colour; ESC ends with exit 0.
# 2. No file named: the open-file dialog comes up; ESC cancels it; exit 0.
#
# Exit 0 when all pass, 77 when they cannot run here (no Xvfb, xdotool,
# python3 or sample motion), 1 on a failure. Every wait has a timeout.
# With TARVEL_SCREENSHOT=FILE the report window is also saved as a PNG there.
set -u

tarvel=${1:?usage: run_gui_tests.sh TARVEL TARVEL_REPORT SAMPLES_DIR}
report_tool=${2:?}
samples=${3:?}

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0

for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool not installed"
done
[ -x "$tarvel" ] || skip "no program at $tarvel"
[ -x "$report_tool" ] || skip "no report tool at $report_tool"
sample=""
for name in mmd_base__sample_motion2.vmd MikuMikuAR__sample.vmd; do
  [ -r "$samples/$name" ] && { sample="$samples/$name"; break; }
done
if [ -z "$sample" ]; then
  sample=$(ls "$samples"/*.vmd 2>/dev/null | head -n 1)
fi
[ -n "$sample" ] && [ -r "$sample" ] || skip "no sample motion in $samples"

exedir=$(cd "$(dirname "$tarvel")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# ---- a display of our own ---------------------------------------------------
display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      display=":$n"
      break
    fi
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
done
[ -n "$display" ] || skip "could not start Xvfb"
export DISPLAY=$display NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory

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

# ---- 1. the report window -----------------------------------------------------
"$report_tool" "$sample" >"$work/report.txt" 2>/dev/null || fail "report tool failed on $sample"
existing=$(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort)

"$tarvel" "$sample" >"$work/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarvel $' 2>/dev/null | head -n 1)
if [ -z "$wid" ]; then
  fail "the report window did not appear"
else
  sleep 0.5
  timeout 5 xdotool mousemove --window "$wid" 40 40
  timeout 5 xdotool windowfocus --sync "$wid" || fail "could not focus the report window"
  timeout 5 xdotool key S
  capture=""
  for _ in $(seq 1 100); do
    now=$(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort)
    capture=$(comm -13 <(echo "$existing") <(echo "$now") | head -n 1)
    [ -n "$capture" ] && break
    sleep 0.1
  done
  if [ -z "$capture" ]; then
    fail "S saved no capture beside the executable"
  else
    # the capture is complete once its size stops growing
    last=-1
    for _ in $(seq 1 50); do
      size=$(stat -c %s "$capture")
      [ "$size" = "$last" ] && break
      last=$size
      sleep 0.2
    done
    python3 - "$capture" "$work/report.txt" <<'EOF' || fail "the capture does not match the report"
import struct, sys
bmp = open(sys.argv[1], 'rb').read()
lines = []
for raw in open(sys.argv[2], encoding='utf-8').read().split('\n'):
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
if not bad:
    print('capture %dx%d matches the report (%d lines)' % (w, h, len(lines)))
sys.exit(1 if bad else 0)
EOF
  fi
  if [ -n "${TARVEL_SCREENSHOT:-}" ]; then
    command -v import >/dev/null 2>&1 && timeout 10 import -window "$wid" "$TARVEL_SCREENSHOT"
  fi
  # remove what this test wrote
  now=$(ls "$exedir"/cap\(*\).bmp 2>/dev/null | sort)
  comm -13 <(echo "$existing") <(echo "$now") | while read -r f; do [ -n "$f" ] && rm -f "$f"; done
  timeout 5 xdotool key Escape
fi
wait_exit "$app_pid" 10
app_pid=""
[ "$rc" = 0 ] || fail "report window: exit code $rc after ESC (expected 0)"

# ---- 2. the open-file dialog, cancelled -----------------------------------------
"$tarvel" >"$work/dialog.log" 2>&1 &
app_pid=$!
did=$(timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1)
if [ -z "$did" ]; then
  fail "the open-file dialog did not appear"
else
  sleep 0.5
  timeout 5 xdotool windowfocus --sync "$did" || fail "could not focus the open-file dialog"
  timeout 5 xdotool key Escape
fi
wait_exit "$app_pid" 10
app_pid=""
[ "$rc" = 0 ] || fail "open-file dialog: exit code $rc after ESC (expected 0)"

if [ "$failed" = 0 ]; then
  echo "PASS: report window on $(basename "$sample"), open-file dialog"
  exit 0
fi
echo "--- program output ---"
cat "$work/app.log" "$work/dialog.log" 2>/dev/null
exit 1
