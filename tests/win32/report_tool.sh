#!/usr/bin/env bash
# tarvel-report.exe under Wine, in a prefix of its own made fresh for this run
# (English, ANSI code page 1252):
#
#   report_tool.sh TARVEL_REPORT_EXE
#
# 1. A folder walk names every motion by its real name, whatever the code
#    page holds: full-width, Greek, Cyrillic and Japanese names beside their
#    ASCII look-alikes, nested folders, characters that code page 1252 keeps
#    in 0x80-0x9F. Each file is read once as itself (its verdict is its own),
#    --fail-on=fix sees the motions that need fixing, and a folder with a
#    non-Latin name is walked when named.
# 2. Sparse files past 2 and 4 GiB give their true sizes, trailing bytes and
#    end offsets, valid against the schema.
# 3. Reasons in words, a path too long named whole.
# With TARVEL_LINUX_REPORT (a Linux tarvel-report) the walk's text, JSON
# Lines and summary are compared with the Linux tool's (separators aside).
# Needs wine and python3; exit 0 when all pass, 77 when it cannot run here.
set -u
report_tool=${1:?usage: report_tool.sh TARVEL_REPORT_EXE}
here=$(cd "$(dirname "$0")" && pwd)
schema="$here/../../docs/report.schema.json"

# shellcheck source=test_lib.sh
. "$here/test_lib.sh"
tarvel_needs "$report_tool" wine wineserver python3

# shellcheck source=wine_env.sh
. "$here/wine_env.sh"
tarvel_tool_prefix || skip "could not make a Wine prefix"
cp "$report_tool" "$work/tarvel-report.exe"
cd "$work" || exit 1
tool() { wine "$work/tarvel-report.exe" "$@"; }

# motion.py ok|fix PATH: one bone key; センター turned is fine, 左腕捩 turned
# needs fixing.
cat >motion.py <<'EOF'
import math, struct, sys
kind, path = sys.argv[1:3]
bone = "センター" if kind == "ok" else "左腕捩"
h = math.radians(30) / 2
key = (bone.encode("shift_jis").ljust(15, b"\0") +
       struct.pack("<i3f4f", 3, 0, 0, 0, math.sin(h), 0, 0, math.cos(h)) + bytes(64))
with open(path, "wb") as f:
    f.write(b"Vocaloid Motion Data 0002".ljust(30, b"\0") + b"m".ljust(20, b"\0") +
            struct.pack("<i", 1) + key + struct.pack("<5i", 0, 0, 0, 0, 0))
EOF
motion() { mkdir -p "$(dirname "$2")" && python3 motion.py "$1" "$2"; }

# ---- 1. the walk --------------------------------------------------------------
motion ok lib/abc.vmd
motion fix lib/ａｂｃ.vmd
motion ok lib/lib5/lib/x.vmd
motion fix lib/lib5/ｌｉｂ/x.vmd
motion fix "lib/Ωμέγα/Привет/日本.vmd"
motion ok lib/€uro.vmd
motion fix "lib/Šárka—.vmd"
tool --summary lib >summary.txt 2>err.txt
rc=$?
[ "$rc" = 0 ] || fail "the walk ended with $rc (expected 0): $(cat err.txt)"
cat >expected.txt <<'EOF'
ok                   1 keys       0.10 s  lib\abc.vmd
ok                   1 keys       0.10 s  lib\lib5\lib\x.vmd
fix                  1 keys       0.10 s  lib\lib5\ｌｉｂ\x.vmd
fix                  1 keys       0.10 s  lib\Šárka—.vmd
fix                  1 keys       0.10 s  lib\Ωμέγα\Привет\日本.vmd
ok                   1 keys       0.10 s  lib\€uro.vmd
fix                  1 keys       0.10 s  lib\ａｂｃ.vmd
total: 7 files: 7 complete, 0 cut, 0 not-a-motion, 0 unreadable; 4 fix, 0 dropout, 0 rough, 0 slight, 3 ok
EOF
cmp -s expected.txt summary.txt || fail "the walk: $(diff expected.txt summary.txt | head -n 8)"
tool --fail-on=fix lib >/dev/null 2>&1
rc=$?
[ "$rc" = 3 ] || fail "--fail-on=fix on the walk ended with $rc (expected 3)"
(cd lib && tool --summary Ωμέγα) >named.txt 2>/dev/null
grep -qxF "fix                  1 keys       0.10 s  Ωμέγα\\Привет\\日本.vmd" named.txt ||
  fail "a folder with a Greek name is not walked: $(cat named.txt)"
# The JSON paths are the names in UTF-8, the report's own line its name.
tool --jsonl lib >walk.jsonl 2>/dev/null
python3 - walk.jsonl <<'EOF' || fail "JSON paths of the walk"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8")]
paths = [l["path"] for l in lines]
want = ["lib\\abc.vmd", "lib\\lib5\\lib\\x.vmd", "lib\\lib5\\ｌｉｂ\\x.vmd", "lib\\Šárka—.vmd",
        "lib\\Ωμέγα\\Привет\\日本.vmd", "lib\\€uro.vmd", "lib\\ａｂｃ.vmd"]
if paths != want:
    sys.exit(f"paths {paths}")
if lines[6]["report"][1]["text"] != "ａｂｃ.vmd":
    sys.exit(f"report line {lines[6]['report'][1]}")
EOF
if [ -n "${TARVEL_LINUX_REPORT:-}" ]; then
  for fmt in "" --jsonl --summary; do
    tool $fmt lib >win.out 2>/dev/null
    "$TARVEL_LINUX_REPORT" $fmt lib >linux.out 2>/dev/null
    python3 - "$fmt" win.out linux.out <<'EOF' || fail "the walk ($fmt) differs from the Linux tool's"
import json, sys
fmt, a, b = sys.argv[1:4]
def norm(path):
    text = open(path, encoding="utf-8").read()
    if fmt != "--jsonl":
        return "\n".join(l.replace("lib\\", "lib/").replace("\\", "/") if l.startswith(("#", "ok", "fix")) else l
                         for l in text.split("\n"))
    out = []
    for line in text.splitlines():
        j = json.loads(line)
        j["path"] = j["path"].replace("\\", "/")
        out.append(j)
    return out
x, y = norm(a), norm(b)
if x != y:
    sys.exit(1)
EOF
  done
fi

# ---- 2. sizes past 2 and 4 GiB ----------------------------------------------------
python3 - <<'EOF'
import struct
head = b"Vocaloid Motion Data 0002".ljust(30, b"\0") + b"m".ljust(20, b"\0")
for name, body, size in (("a", struct.pack("<6i", 0, 0, 0, 0, 0, 0), 5 << 30),
                         ("b", struct.pack("<6i", 0, 0, 0, 0, 0, 0), 2200000000),
                         ("d", struct.pack("<i", 2**31 - 1), (4 << 30) + 1000)):
    with open(f"{name}.vmd", "wb") as f:
        f.write(head + body)
        f.truncate(size)
EOF
tool --jsonl a.vmd b.vmd d.vmd >big.jsonl 2>big.err
python3 "$here/../app/check_report_json.py" "$schema" jsonl big.jsonl
[ $? = 1 ] && fail "sizes past 2 and 4 GiB: not in the schema"
python3 - big.jsonl big.err <<'EOF' || fail "sizes past 2 and 4 GiB"
import json, sys
out, err = sys.argv[1:3]
lines = [json.loads(l) for l in open(out, encoding="utf-8")]
got = [(l["fileBytes"], l["trailingBytes"]) for l in lines[:2]]
if got != [(5 << 30, (5 << 30) - 74), (2200000000, 2200000000 - 74)]:
    sys.exit(f"sizes {got}")
end = (4 << 30) + 1000
records = (end - 54) // 111
if lines[2]["detail"]["endOffset"] != end or lines[2]["sections"]["bone"]["read"] != records:
    sys.exit(f"cut {lines[2]['detail']}")
want = (f"tarvel-report: d.vmd: cut short in the bone section: {records} of 2147483647 records "
        f"read, the file ends at byte {end}; lost: the bone keys after the first {records} and "
        f"every later section, morph keys included\n")
if open(err, encoding="utf-8").read() != want:
    sys.exit("message " + open(err, encoding="utf-8").read())
EOF

# ---- 3. messages ------------------------------------------------------------------
ln -s loop.vmd loop.vmd
deep=deep
for c in a b c; do deep="$deep/$(printf '%0100d' 0 | tr 0 "$c")"; done
for n in x y z; do motion ok "$deep/$n.vmd"; done
tool --summary loop.vmd 'a?.vmd' deep 2>&1 >/dev/null | tr -d '\r' >msg.txt
{
  echo "tarvel-report: loop.vmd: too many levels of symbolic links"
  echo "tarvel-report: a?.vmd: not a valid file name"
  for n in x y z; do echo "tarvel-report: $(echo "$deep" | tr / '\\')\\$n.vmd: name too long"; done
} >expected.txt
cmp -s expected.txt msg.txt || fail "messages: $(diff expected.txt msg.txt | cut -c 1-120 | head -n 8)"

[ "$failed" = 0 ] && echo "report tool test passed"
exit "$failed"
