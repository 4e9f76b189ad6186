#!/usr/bin/env bash
# The programs write no file but a new cap(N).bmp in the executable's folder
# and, on F in the window, the motion's VRM-ready copy beside it. Both run
# under strace (open, openat, creat, and the calls that rename, link or
# remove a name), from a copy in a fresh folder, on a motion made for the run
# and on hostile names: a FIFO and a folder named as motions, a device, a FIFO
# as alias.ini and as cap(1).bmp, a dangling link as cap(2).bmp. Every open
# for writing (O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, creat) is listed; any but
# an exclusive, link-refusing create of cap(N).bmp beside the executable
# fails the test, but for the window's F: exactly one exclusive create in the
# motion's folder (the copy, or a temporary file of it), names moved or
# linked only to the copy's name, and afterwards that folder holds the copy
# and nothing else new. A run that does not end in time (a wait on a FIFO)
# fails too.
#
#   strace_writes.sh TARVEL TARVEL_REPORT FONT
#
# Exit 0 when it passes, 77 when it cannot run here (no strace, no ptrace),
# 1 on a failure. The window program's run needs Xvfb and xdotool and is
# skipped (with a note) without them.
set -u
tarvel=${1:?usage: strace_writes.sh TARVEL TARVEL_REPORT FONT}
report_tool=${2:?}
font=${3:?}

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0

command -v strace >/dev/null 2>&1 || skip "strace not installed"
strace -f -qq -o /dev/null true 2>/dev/null || skip "strace cannot trace here"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

bin="$work/bin"
mkdir -p "$bin" "$work/in" "$work/home" "$work/outside"
cp "$report_tool" "$bin/tarvel-report"
cp "$tarvel" "$bin/tarvel"
ln -s "$(cd "$(dirname "$font")" && pwd)/$(basename "$font")" "$bin/mplus-2m-regular.ttf"
python3 "$(dirname "$0")/../support/write_motions.py" "$work/gen" || fail "could not write the motions"
cp "$work/gen/twist.vmd" "$work/in/real.vmd"
mkfifo "$work/in/fifo.vmd"
mkdir "$work/in/folder.vmd"

# Lists the writes in a trace ($1) that are not allowed; prints the offending
# lines. With a second argument, the one copy allowed (F in the window).
bad_writes() {
  python3 - "$1" "$bin" "${2:-}" <<'PY'
import os, re, sys
trace, exedir, copy = sys.argv[1], sys.argv[2], sys.argv[3]
folder = os.path.dirname(copy)
originals = {'real.vmd', 'fifo.vmd', 'folder.vmd', os.path.basename(copy)}
allowed = re.compile(r'^' + re.escape(exedir) + r'/cap\(\d+\)\.bmp$')
bad = creates = 0
def report(line):
    global bad
    print('   ', line.rstrip())
    bad += 1
for line in open(trace, errors='replace'):
    paths = re.findall(r'"((?:[^"\\]|\\.)*)"', line)
    m = re.search(r'\b(open|openat|creat)\((?:[^,]*, )?"((?:[^"\\]|\\.)*)"(?:, ([A-Z_|0-9]+))?', line)
    if m:
        call, path, flags = m.group(1), m.group(2), m.group(3) or ''
        writes = call == 'creat' or re.search(r'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_TMPFILE', flags)
        if not writes:
            continue
        exclusive = ('O_EXCL' in flags and 'O_NOFOLLOW' in flags) or 'O_TMPFILE' in flags
        if exclusive and 'O_TRUNC' not in flags:
            if allowed.match(path):
                continue
            if copy and (os.path.dirname(path) == folder or path == folder):
                creates += 1
                continue
        report(line)
    elif re.search(r'\b(rename|renameat|renameat2|link|linkat)\(', line):
        if not (copy and paths and paths[-1] == copy):
            report(line)
    elif re.search(r'\b(unlink|unlinkat)\(', line):
        if not (copy and paths and os.path.dirname(paths[-1]) == folder
                and os.path.basename(paths[-1]) not in originals):
            report(line)
if copy and creates != 1:
    print('    %d files created in the motion\'s folder (expected the copy alone)' % creates)
    bad += 1
sys.exit(1 if bad else 0)
PY
}
calls=open,openat,creat,rename,renameat,renameat2,link,linkat,unlink,unlinkat

# ---- the report tool ------------------------------------------------------------
run=0
for args in "$work/in/real.vmd" "$work/in/fifo.vmd" "$work/in/folder.vmd" /dev/zero \
            "$work/in/real.vmd $work/in/fifo.vmd $work/in/real.vmd"; do
  run=$((run + 1))
  trace="$work/report.$run.trace"
  # shellcheck disable=SC2086
  HOME="$work/home" timeout 20 strace -f -qq -e trace=$calls -o "$trace" \
    "$bin/tarvel-report" $args >/dev/null 2>&1
  rc=$?
  [ "$rc" = 124 ] && fail "tarvel-report did not end on: $args"
  bad_writes "$trace" || fail "tarvel-report opened files for writing on: $args"
done
# A FIFO as alias.ini beside the executable is refused, not waited on.
mkfifo "$bin/alias.ini"
HOME="$work/home" timeout 20 strace -f -qq -e trace=$calls -o "$work/alias.trace" \
  "$bin/tarvel-report" "$work/in/real.vmd" >/dev/null 2>&1
[ $? = 124 ] && fail "tarvel-report waited on a FIFO named alias.ini"
bad_writes "$work/alias.trace" || fail "tarvel-report opened files for writing (FIFO alias.ini)"
rm -f "$bin/alias.ini"

# ---- the window program: S with cap(1) a FIFO and cap(2) a dangling link -----------
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
  echo "NOTE: no Xvfb or xdotool: the window program's run is skipped"
else
  mkfifo "$bin/cap(1).bmp"
  ln -s "$work/outside/escaped.bmp" "$bin/cap(2).bmp"
  Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  if [ ! -s "$work/display" ]; then
    fail "could not start Xvfb"
  else
    export DISPLAY=":$(cat "$work/display")" NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
    HOME="$work/home" strace -f -qq -e trace=$calls -o "$work/app.trace" \
      "$bin/tarvel" "$work/in/real.vmd" >"$work/app.log" 2>&1 &
    app_pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarvel — ' 2>/dev/null | head -n 1)
    if [ -z "$wid" ]; then
      fail "the report window did not appear"
    else
      sleep 0.5
      timeout 5 xdotool windowfocus --sync "$wid"
      timeout 5 xdotool key S
      for _ in $(seq 1 100); do [ -s "$bin/cap(3).bmp" ] && break; sleep 0.1; done
      sleep 1
      # F: the copy, and the box that tells of it, closed with Return
      timeout 5 xdotool key f
      box=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarvel$' 2>/dev/null | head -n 1)
      if [ -n "$box" ]; then
        sleep 0.5
        timeout 5 xdotool windowfocus --sync "$box"
        timeout 5 xdotool key Return
        sleep 1
      else
        fail "F showed no box"
      fi
      timeout 5 xdotool windowfocus --sync "$wid"
      timeout 5 xdotool key Escape
    fi
    for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && fail "the window program did not end"
    app_pid=""
    [ -s "$bin/cap(3).bmp" ] || fail "S did not save cap(3).bmp past a FIFO and a dangling link"
    [ -e "$work/outside/escaped.bmp" ] && fail "a capture was written through a dangling link"
    bad_writes "$work/app.trace" "$work/in/real.vrm.vmd" ||
      fail "the window program wrote files but captures and the copy"
    [ -s "$work/in/real.vrm.vmd" ] || fail "F wrote no copy beside the motion"
    [ "$(ls -A "$work/in" | tr '\n' ' ')" = "fifo.vmd folder.vmd real.vmd real.vrm.vmd " ] ||
      fail "the motion's folder holds $(ls -A "$work/in" | tr '\n' ' ')"
  fi
fi

[ "$failed" = 0 ] && echo "PASS: nothing written but new captures and F's copy"
exit "$failed"
