#!/usr/bin/env python3
"""The golden report pairs: motions beside the reports tarvel-report gives
for them, in tests/golden/. Each case NAME.vmd has NAME.vmd.txt (the text
report), NAME.vmd.json (its JSON object, one line, checked against
docs/report.schema.json as well) and NAME.vmd.out (what the text run says on
standard error, its exit status, and the --summary output); cases whose name
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
    # rotations stored at another length: players normalise them, so the
    # figures are those of the unit rotation (a zero one is the rest pose)
    for scale in (0.005, 0.5, 3):
        m = mm.Motion()
        m.bone("左腕捩", 0, rot=tuple(v * scale for v in quat((1, 0, 0), 90)))
        m.bone("右腕", 0, rot=tuple(v * scale for v in quat((1, 0, 0), 150)))
        m.bone("センター", 0, rot=(0, 0, 0, 0))
        c["scaled_rotation_%s.vmd" % str(scale).replace(".", "_")] = m
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
    # Latin characters of a name show as themselves, or '\' for the yen sign
    c["café.vmd"] = m
    c["x¥y.vmd"] = m
    # IK switched off (its first frame), names not Shift-JIS, trailing bytes
    m = mm.Motion(model="n")
    m.bone(b"\x81\x20xy", 0, rot=quat((1, 0, 0), 23))
    m.bone(b"abcdefghijklmn\x82", 1, rot=quat((1, 0, 0), 23))
    m.bone("左人指１", 2, rot=quat((1, 0, 0), 23))
    m.iks = [mm.showik(10, [("左足ＩＫ", 0), ("右足ＩＫ", 1)]), mm.showik(5, [("左足ＩＫ", 0)]),
             mm.showik(20, [("左足ＩＫ", 1)])]
    raw = {"ik_names_trailing.vmd": m.bytes() + b"trail"}
    # figures are the motion's: far and negative frames, far weights
    m = mm.Motion(model="f")
    m.bone("センター", 1500000, rot=quat((1, 0, 0), 20))
    m.bone("センター", 2000000, rot=quat((1, 0, 0), 20))
    m.bone("下半身", -5, rot=quat((1, 0, 0), 20))
    m.bone("左腕捩", -3, rot=quat((1, 0, 0), 30))
    m.morph("あ", 7, 5000.0)
    m.morph("い", -2, -2000.0)
    c["far_figures.vmd"] = m
    # a motion with every section cut at each place a read can stop, and
    # ending cleanly between sections
    full = mm.Motion(model="full")
    full.bone("センター", 0, rot=quat((1, 0, 0), 10))
    full.bone("左腕捩", 30, rot=quat((1, 0, 0), 20))
    full.morph("あ", 0, 0.0)
    full.morph("あ", 12, 1.0)
    full.cams, full.lights, full.shadows = [mm.camera(40)], [mm.light(41)], [mm.shadow(42)]
    full.iks = [mm.showik(5, [("左足ＩＫ", 1), ("右足ＩＫ", 1)]), mm.showik(60, [("左足ＩＫ", 1)])]
    whole = full.bytes()
    bones = 50
    morphs = bones + 4 + 2 * 111
    cameras = morphs + 4 + 2 * 23
    lights = cameras + 4 + 61
    shadows = lights + 4 + 28
    showiks = shadows + 4 + 9
    for name, size in (("header", 27), ("model", 40), ("bonecount", bones + 2),
                       ("bone", bones + 4 + 111 + 50), ("morph", morphs + 4 + 23 + 20),
                       ("camera", cameras + 4 + 40), ("light", lights + 4 + 20),
                       ("light_after_frame", lights + 4 + 8), ("shadow", shadows + 4 + 6),
                       ("shadowcount", shadows + 3), ("ikname", showiks + 4 + 9 + 10),
                       ("ikcount", showiks + 4 + 51 + 7), ("ikflag", len(whole) - 1),
                       ("after_bones", morphs), ("after_morphs", cameras),
                       ("after_shadows", showiks)):
        raw["cut_%s.vmd" % name] = whole[:size]
    raw["whole.vmd"] = whole
    # a motion lasts as long as its bone and morph keys: a far light key
    # does not stretch it, nor do the garbage records of the section it is
    # cut in
    m = mm.Motion(model="far light")
    m.bone("センター", 30, rot=quat((1, 0, 0), 10))
    m.lights = [mm.light(1796500230)]
    raw["light_far.vmd"] = m.bytes()
    m.lights = [mm.light(1796500230), mm.light(1796500230), mm.light(0)]
    raw["cut_light_garbage.vmd"] = m.bytes()[:-30]
    raw["trailing.vmd"] = whole + b"\x01\x02\x03junk"
    # negative counts: never a whole motion
    import struct
    head = mm.field(b"Vocaloid Motion Data 0002", 30) + mm.field(b"n", 20)
    one = mm.Motion(model="n")
    one.bone("左腕捩", 3, rot=quat((1, 0, 0), 30))
    twist = one.bytes()[:50 + 4 + 111]
    morph_key = mm.field(mm.sjis("あ"), 15) + struct.pack("<if", 0, 1.0)
    raw["negative_bone.vmd"] = head + struct.pack("<ii", -1, 0)
    raw["negative_bone_min.vmd"] = head + struct.pack("<i", -2147483648)
    raw["negative_morph.vmd"] = twist + struct.pack("<i", -7) + morph_key
    raw["negative_shadow.vmd"] = twist + struct.pack("<iiii", 0, 0, 0, -3) + mm.shadow(0)
    raw["negative_ik.vmd"] = twist + struct.pack("<iiiiiiBi", 0, 0, 0, 0, 1, 5, 1, -3)
    # files that are not motions, or end inside the header
    raw["not_a_motion.vmd"] = b"PK\x03\x04" + bytes(100)
    raw["text.vmd"] = b"hello, world\n"
    raw["header_short.vmd"] = b"Vocaloid M"
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
    """The reports of every case: {name: (text, json, out)}."""
    out = {}
    with tempfile.TemporaryDirectory() as tmp:
        alias_tool = os.path.join(tmp, os.path.basename(tool))
        shutil.copy(tool, alias_tool)
        with open(os.path.join(tmp, "alias.ini"), "w", encoding="utf-8") as f:
            f.write(ALIAS_INI)
        env = dict(os.environ, LC_ALL="C.UTF-8")
        for name in names:
            t = alias_tool if name.startswith("alias_") else tool
            text = subprocess.run([t, name], cwd=HERE, env=env, capture_output=True)
            js = subprocess.run([t, "--jsonl", name], cwd=HERE, env=env, capture_output=True).stdout
            summary = subprocess.run([t, "--summary", name], cwd=HERE, env=env,
                                     capture_output=True).stdout
            said = text.stderr + b"exit %d\n" % text.returncode + summary
            out[name] = (text.stdout, js, said)
    return out


def schema_validator():
    """A check of one JSON line against the report's schema, or None where
    python3-jsonschema is missing."""
    try:
        import json
        import jsonschema
    except ImportError:
        return None
    with open(os.path.join(HERE, "..", "..", "docs", "report.schema.json"), encoding="utf-8") as f:
        schema = json.load(f)
    # each line of --jsonl is one file's object
    validator = jsonschema.Draft7Validator({"$ref": "#/definitions/file",
                                            "definitions": schema["definitions"]})

    def check(line):
        try:
            obj = json.loads(line)
        except ValueError as e:
            return str(e)
        for e in validator.iter_errors(obj):
            return e.message
        return None
    return check


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
    validate = schema_validator()
    for name in names:
        problem = validate(reports[name][1]) if validate else None
        if problem:
            bad += 1
            print("%s.json: not in the schema: %s" % (name, problem))
        for ext, got in zip((".txt", ".json", ".out"), reports[name]):
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
        print("%d passed, %d failed" % (3 * len(names) - bad, bad))
        sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
