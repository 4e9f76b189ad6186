#!/usr/bin/env python3
"""The golden report pairs: motions beside the reports tarvel-report gives
for them, in tests/golden/. Each case NAME.vmd has NAME.vmd.txt (the text
report) and NAME.vmd.json (its JSON object, one line); cases whose name
starts with "alias_" are reported with an alias.ini beside the program.

usage: golden.py write-motions             write the motions (deterministic)
       golden.py update TARVEL_REPORT      write the expected reports
       golden.py check TARVEL_REPORT       compare; exit 1 on any difference

Review every changed expectation before committing it."""
import difflib
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_motions as mm  # noqa: E402

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "golden")
ALIAS_INI = ("[Bone]\n左腕捩=L_ArmTwist\nセンター=Center\n上半身*=Chest*\n"
             "[Morph]\nあ=A\nまばたき=Blink\n")


def quat(axis, deg):
    return mm.quat(axis, deg)


def cases():
    c = {}
    # one motion per verdict finding, at angles either side of its limits
    for name, degs in (("左腕捩", (5,)), ("上半身２", (10,)), ("左足_+", (10,)), ("右ひざD", (10,)),
                       ("左ひじD", (10,)), ("上半身3", (10,)), ("右足ＩＫ親", (10,)),
                       ("左足IK親", (3, 5, 10, 30)), ("右肩P", (10,)), ("左腕", (144.9, 145, 159.9, 160)),
                       ("右ひじ", (150, 170)), ("下半身", (10, 20, 40)), ("腰", (10,))):
        for deg in degs:
            m = mm.Motion()
            m.bone(name, 0)
            m.bone(name, 30, rot=quat((1, 0, 0), deg))
            c["finding_%s_%s.vmd" % (name, str(deg).replace(".", "_"))] = m
    # moves without turning; the half-width twin beside the full-width one
    m = mm.Motion()
    m.bone("上半身3", 0, pos=(0, 1, 0))
    m.bone("左足ＩＫ親", 0, pos=(0, 1, 0))
    c["moves_only.vmd"] = m
    m = mm.Motion()
    m.bone("上半身２", 0, rot=quat((0, 1, 0), 10))
    m.bone("上半身2", 0, rot=quat((0, 1, 0), 10))
    c["upper2_both.vmd"] = m
    m = mm.Motion()
    m.bone("下半身", 0, pos=(0, 0.5, 0), rot=quat((1, 0, 0), 5))
    m.bone("右足IK親", 0, rot=quat((1, 0, 0), 10))
    m.bone("左腕_+", 0, pos=(0, 1, 0), rot=quat((1, 0, 0), 0.5))
    c["lowerbody_moves.vmd"] = m
    # every block at once, and the blocks' separators
    m = mm.Motion()
    for name in ("左腕捩", "右手捩", "上半身２", "右腕_+", "左足D", "右腕D", "左足IK親", "左肩P",
                 "上半身3", "右腕", "下半身", "腰"):
        m.bone(name, 3, rot=quat((1, 0.3, 0), 170))
    c["all_blocks.vmd"] = m
    # fingers (listed only when they move), unknown bones in compact lines
    m = mm.Motion(model="")
    m.bone("左親指１", 0, rot=quat((1, 0, 0), 30))
    m.bone("右人指２", 0, pos=(0, 0.1, 0))
    m.bone("左親指０", 0, pos=(0, 0.1, 0))
    for k in range(14):
        m.bone("髪%02d" % k, k, rot=quat((0, 0, 1), 20))
    m.bone("適当に長い名前のボーン", 0, pos=(1, 0, 0))
    c["fingers_and_unknown.vmd"] = m
    # morphs: zero weights are not listed, negative ones are; the three
    # names drawn as other characters
    m = mm.Motion()
    for i, name in enumerate(mm.MORPHS):
        m.morph(name, i * 3, (i - 5) / 8)
    m.morph("い", 9, 0.0)
    c["morphs.vmd"] = m
    # camera only, no keys at all, IK switched off
    m = mm.Motion()
    m.cams = [mm.camera(0), mm.camera(30)]
    c["camera_only.vmd"] = m
    c["empty.vmd"] = mm.Motion()
    m = mm.Motion()
    m.bone("左足ＩＫ", 0, pos=(0, 1, 0))
    m.cams, m.lights, m.shadows = [mm.camera(0)], [mm.light(0)], [mm.shadow(0)]
    m.iks = [mm.showik(0, [("左足ＩＫ", 1)]), mm.showik(20, [("左足ＩＫ", 0), ("右足ＩＫ", 0)])]
    c["ik_off.vmd"] = m
    # names that are not Shift-JIS, or cut inside a character
    m = mm.Motion(model=b"\x82\xa0\x82\xa2" * 4 + b"ab\x82\xa0")
    m.bone(b"\x82\xa0" * 7 + b"\x82", 0, pos=(0, 1, 0))
    m.bone(b"\xff\xfe\x80abc", 0, rot=quat((1, 0, 0), 10))
    c["names.vmd"] = m
    # alias mode: headings in English, names replaced
    m = mm.Motion()
    m.bone("左腕捩", 0, rot=quat((1, 0, 0), 20))
    m.bone("センター", 0, pos=(0, 1, 0))
    m.bone("上半身2", 0, rot=quat((0, 1, 0), 10))
    m.morph("あ", 0, 1)
    m.morph("まばたき", 5, 0.5)
    c["alias_names.vmd"] = m
    # a file name in Japanese
    m = mm.Motion()
    m.bone("センター", 0, pos=(0, 1, 0))
    c["踊り.vmd"] = m
    # cut files, trailing bytes, files that are not motions
    full = mm.Motion()
    full.bone("左腕捩", 0, rot=quat((1, 0, 0), 20))
    full.bone("センター", 10, pos=(1, 0, 0))
    full.morph("あ", 0, 1)
    full.cams, full.lights, full.shadows = [mm.camera(0)], [mm.light(0)], [mm.shadow(0)]
    full.iks = [mm.showik(0, [("左足ＩＫ", 1)])]
    whole = full.bytes()
    raw = {}
    for cut in (29, 52, 60, 54 + 111 + 50, 54 + 222 + 4 + 10, len(whole) - 30, len(whole) - 5):
        raw["cut_%04d.vmd" % cut] = whole[:cut]
    raw["trailing.vmd"] = whole + b"\x01\x02\x03junk"
    raw["not_a_motion.vmd"] = b"PK\x03\x04" + bytes(100)
    raw["zero_bytes.vmd"] = b""
    m = mm.Motion()
    m.bone("センター", 0)
    m.counts[0] = 5
    raw["count_too_large.vmd"] = m.bytes()
    for name, m in c.items():
        raw[name] = m.bytes()
    return raw


def write_motions():
    for name, data in cases().items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


def run(tool, names):
    """The reports of every case: {name: (text, json)}."""
    out = {}
    with tempfile.TemporaryDirectory() as tmp:
        alias_tool = os.path.join(tmp, os.path.basename(tool))
        shutil.copy(tool, alias_tool)
        with open(os.path.join(tmp, "alias.ini"), "w", encoding="utf-8") as f:
            f.write(ALIAS_INI)
        env = dict(os.environ, LC_ALL="C.UTF-8")
        for name in names:
            t = alias_tool if name.startswith("alias_") else tool
            text = subprocess.run([t, name], cwd=HERE, env=env, capture_output=True).stdout
            js = subprocess.run([t, "--jsonl", name], cwd=HERE, env=env, capture_output=True).stdout
            out[name] = (text, js)
    return out


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if sys.argv[1] == "write-motions":
        write_motions()
        return
    tool = os.path.abspath(sys.argv[2])
    names = sorted(n for n in os.listdir(HERE) if n.endswith(".vmd"))
    reports = run(tool, names)
    bad = 0
    for name in names:
        for ext, got in zip((".txt", ".json"), reports[name]):
            path = os.path.join(HERE, name + ext)
            if sys.argv[1] == "update":
                with open(path, "wb") as f:
                    f.write(got)
                continue
            want = open(path, "rb").read() if os.path.exists(path) else b""
            if got != want:
                bad += 1
                diff = difflib.unified_diff(want.decode("utf-8", "replace").splitlines(),
                                            got.decode("utf-8", "replace").splitlines(),
                                            name + ext, "tarvel-report", lineterm="", n=1)
                print("\n".join(list(diff)[:40]))
    if sys.argv[1] == "check":
        print("%d passed, %d failed" % (2 * len(names) - bad, bad))
        sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
