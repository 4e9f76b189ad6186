#!/usr/bin/env bash
# tarvel-fix.exe --vrma under Wine, in a prefix of its own made fresh for this
# run (English, ANSI code page 1252):
#
#   fix_vrma.sh TARVEL_FIX_EXE
#
# On a generated motion under a Japanese name, in a folder with a Japanese
# name and spaces (the figure turned round by 全ての親, arms and elbows, a
# finger, legs on their IK with one switched off a while, morphs):
# 1. it writes NAME.vrma beside the motion, a glTF binary whole; with
#    TARVEL_LINUX_FIX (a Linux tarvel-fix) the same bytes as the Linux
#    tool's;
# 2. --arm-angle 25 --json -o OUT.vrma: the same bytes and the same document
#    as the Linux tool's (the paths aside);
# 3. a file of the name that is not this animation is kept, the run ending
#    with 1; a second run on the same motion keeps its file and ends with 0.
# Needs wine and python3; exit 0 when all pass, 77 when it cannot run here.
set -u
fix_tool=${1:?usage: fix_vrma.sh TARVEL_FIX_EXE}
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=test_lib.sh
. "$here/test_lib.sh"
tarvel_needs "$fix_tool" wine wineserver python3
linux=${TARVEL_LINUX_FIX:-}
if [ -n "$linux" ]; then
  [ -x "$linux" ] || { echo "FAIL: TARVEL_LINUX_FIX=$linux is no program"; exit 1; }
  linux=$(realpath "$linux")
fi

# shellcheck source=wine_env.sh
. "$here/wine_env.sh"
tarvel_tool_prefix || skip "could not make a Wine prefix"
cp "$fix_tool" "$work/tarvel-fix.exe"

dir="$work/日本語 フォルダ"
mkdir "$dir" "$work/linux"
cd "$dir" || exit 1
TARVEL_TOOLS="$here/../../tools" python3 - "踊り.vmd" <<'EOF' || skip "could not write the motion"
import math, os, sys
sys.path.insert(0, os.environ["TARVEL_TOOLS"])
import make_motions as mm
m = mm.Motion()
for f in range(0, 91, 15):
    a = f / 90
    m.bone("全ての親", f, pos=(3 * a, 0, -2 * a), rot=mm.quat((0, 1, 0), 180 + 30 * a))
    m.bone("センター", f, pos=(0, -1.5 * math.sin(3 * a), 0.5 * a))
    for side, k in (("左", 1), ("右", -1)):
        m.bone(side + "腕", f, rot=mm.quat((1, 0.3 * k, 0.5), 70 * math.sin(4 * a + k)))
        m.bone(side + "ひじ", f, rot=mm.quat((0, k, 0), -40 - 50 * a))
        m.bone(side + "人指１", f, rot=mm.quat((0, 0, k), 60 * a))
        m.bone(side + "足", f, rot=mm.quat((1, 0, 0), -30 * a))
        m.bone(side + "足ＩＫ", f, pos=(0.5 * k * a, 1.5 * math.sin(5 * a) ** 2, 2 * math.cos(4 * a + k)),
               rot=mm.quat((1, 0, 0), 20 * a))
m.morph("あ", 0, 0)
m.morph("あ", 45, 1)
m.morph("ウィンク２", 30, 0.5)
m.iks.append(mm.showik(30, [("左足ＩＫ", 0), ("右足ＩＫ", 1)]))
m.iks.append(mm.showik(60, [("左足ＩＫ", 1), ("右足ＩＫ", 1)]))
with open(sys.argv[1], "wb") as f:
    f.write(m.bytes())
EOF
cp 踊り.vmd "$work/linux/"
tool() { wine "$work/tarvel-fix.exe" "$@"; }

# ---- 1. NAME.vrma beside the motion ------------------------------------------------
tool --vrma 踊り.vmd >out.txt 2>err.txt
rc=$?
[ "$rc" = 0 ] || fail "--vrma ended with $rc (expected 0): $(cat err.txt)"
# a glTF binary: magic, version 2, the length it declares its own
python3 - 踊り.vrma <<'EOF' || fail "踊り.vrma is no whole glTF binary"
import struct, sys
d = open(sys.argv[1], "rb").read()
magic, version, length = struct.unpack("<4sII", d[:12])
sys.exit(0 if magic == b"glTF" and version == 2 and length == len(d) else 1)
EOF
grep -q '^vrma: 踊り.vrma' out.txt || fail "the text does not name 踊り.vrma: $(head -n 8 out.txt)"
if [ -n "$linux" ]; then
  (cd "$work/linux" && "$linux" --vrma 踊り.vmd >/dev/null 2>&1)
  cmp -s "$work/linux/踊り.vrma" 踊り.vrma ||
    fail "踊り.vrma differs from the Linux tool's: $(cmp "$work/linux/踊り.vrma" 踊り.vrma)"
else
  echo "no TARVEL_LINUX_FIX: the bytes were not compared with the Linux tool's"
fi

# ---- 2. --arm-angle, --json, -o ------------------------------------------------------
tool --vrma --arm-angle 25 --json -o "腕 25.vrma" 踊り.vmd >doc.json 2>err.txt
rc=$?
[ "$rc" = 0 ] || fail "--arm-angle 25 --json -o ended with $rc (expected 0): $(cat err.txt)"
if [ -n "$linux" ]; then
  (cd "$work/linux" && "$linux" --vrma --arm-angle 25 --json -o "腕 25.vrma" 踊り.vmd >doc.json 2>/dev/null)
  cmp -s "$work/linux/腕 25.vrma" "腕 25.vrma" || fail "腕 25.vrma differs from the Linux tool's"
  python3 - "$work/linux/doc.json" doc.json <<'EOF' || fail "the JSON documents differ: $(diff "$work/linux/doc.json" doc.json | head -n 6)"
import json, sys
docs = [json.load(open(p, encoding="utf-8")) for p in sys.argv[1:]]
for d in docs:
    for f in d["files"]:
        assert f.pop("path").endswith("踊り.vmd") and f.pop("vrma").endswith("腕 25.vrma")
sys.exit(0 if docs[0] == docs[1] else 1)
EOF
fi

# ---- 3. never replaced ---------------------------------------------------------------
echo other >other.vrma
tool --vrma -o other.vrma 踊り.vmd >/dev/null 2>&1
rc=$?
[ "$rc" = 1 ] || fail "writing over another file ended with $rc (expected 1)"
[ "$(cat other.vrma)" = other ] || fail "other.vrma was replaced"
cp 踊り.vrma first.vrma
tool --vrma 踊り.vmd >out.txt 2>&1
rc=$?
[ "$rc" = 0 ] || fail "the second run ended with $rc (expected 0)"
cmp -s first.vrma 踊り.vrma || fail "the second run changed 踊り.vrma"
grep -q 'already there, with the same bytes' out.txt || fail "the second run did not say the file was there"
[ "$(ls -A | grep -c '\.vrma')" = 4 ] || fail "other files were left: $(ls -A | tr '\n' ' ')"

[ "$failed" = 0 ] && echo "tarvel-fix.exe --vrma test passed"
exit "$failed"
