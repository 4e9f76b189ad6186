#!/usr/bin/env python3
"""Writes a deterministic set of VMD motions that exercise every finding, the
lists, names that are not Shift-JIS, cut and foreign files, into a folder.

usage: make_motions.py FOLDER [COUNT]

The first files are hand-picked cases (one per finding and status); then
COUNT random motions (seeded, so the same every run)."""
import math
import os
import random
import struct
import sys

BONES = ("左腕捩 左手捩 右腕捩 右手捩 上半身２ 上半身2 左足_+ 左腕_+ 右足_+ 右腕_+ "
         "左足D 左ひざD 左足首D 右足D 右ひざD 右足首D 左腕D 左ひじD 右腕D 右ひじD "
         "上半身3 左足ＩＫ親 右足ＩＫ親 左足IK親 右足IK親 左肩P 右肩P 左腕 左ひじ 右腕 右ひじ "
         "下半身 腰 左足先EX 右足先EX 左肩_+ 左ひじ_+ センター親 センター補助 左腕ＩＫ 右腕ＩＫ "
         "センター グルーブ 上半身 首 頭 左肩 右肩 左手首 右手首 左足 右足 左ひざ 右ひざ "
         "左足ＩＫ 右足ＩＫ 全ての親 左親指１ 右人指２ 左中指３ 左目先 スカート1 髪1 "
         "左親指０ 右親指０ 適当ボーン 謎のボーン長い名前").split()
MORPHS = "まばたき あ い う え お ウィンク 笑い 怒り 困る にやり ∩ ∧ ω 眉上 未知モーフ".split()


def sjis(s):
    return s.encode("shift_jis")


def field(b, n):
    return (b + b"\0" * n)[:n]


def linear_interp():
    # a consistent linear curve: the 16-byte pattern and its shifted copies
    row = bytes([20, 20, 0, 0, 20, 20, 20, 20, 107, 107, 107, 107, 107, 107, 107, 107])
    out = bytearray(64)
    for r in range(4):
        src = row[r:] + bytes(r)
        out[16 * r:16 * r + 16] = src
    return bytes(out)


def quat(axis, deg):
    h = math.radians(deg) / 2
    n = math.sqrt(sum(a * a for a in axis)) or 1
    s = math.sin(h)
    return (axis[0] / n * s, axis[1] / n * s, axis[2] / n * s, math.cos(h))


class Motion:
    def __init__(self, model="テストモデル"):
        self.model = sjis(model) if isinstance(model, str) else model
        self.bones, self.morphs, self.cams, self.lights, self.shadows, self.iks = [], [], [], [], [], []
        self.counts = {}

    def bone(self, name, frame, pos=(0, 0, 0), rot=(0, 0, 0, 1), interp=None):
        n = sjis(name) if isinstance(name, str) else name
        self.bones.append(field(n, 15) + struct.pack("<i3f4f", frame, *pos, *rot) + (interp or linear_interp()))

    def morph(self, name, frame, w):
        n = sjis(name) if isinstance(name, str) else name
        self.morphs.append(field(n, 15) + struct.pack("<if", frame, w))

    def bytes(self):
        b = field(b"Vocaloid Motion Data 0002", 30) + field(self.model, 20)
        secs = [self.bones, self.morphs, self.cams, self.lights, self.shadows, self.iks]
        for i, s in enumerate(secs):
            if s is None:
                break
            b += struct.pack("<i", self.counts.get(i, len(s))) + b"".join(s)
        return b


def camera(frame):
    return struct.pack("<i7f", frame, 45, 0, 10, 0, 0, 0, 0) + bytes([20] * 24) + struct.pack("<iB", 30, 0)


def light(frame):
    return struct.pack("<i6f", frame, .6, .6, .6, -.5, -1, .5)


def shadow(frame):
    return struct.pack("<iBf", frame, 1, 0.01)


def showik(frame, iks):
    b = struct.pack("<iBi", frame, 1, len(iks))
    for name, on in iks:
        b += field(sjis(name), 20) + bytes([on])
    return b


def hand_picked():
    out = {}
    # one per bone finding: a bone turned by a chosen angle
    for i, name in enumerate(BONES):
        for deg in (0.5, 10, 30, 146, 161):
            m = Motion()
            m.bone(name, 0)
            m.bone(name, 30 + i, rot=quat((1, 0.2, 0.1), deg))
            m.bone("センター", 15, pos=(0, 1, 0))
            out["bone_%02d_%03d.vmd" % (i, deg)] = m.bytes()
    m = Motion()
    m.bone("左足IK親", 0, rot=quat((1, 0, 0), 10))
    m.bone("左足D", 5, rot=quat((1, 0, 0), 10))
    m.bone("上半身２", 5, rot=quat((0, 1, 0), 10))
    m.bone("上半身2", 6, rot=quat((0, 1, 0), 10))
    m.bone("左肩P", 6, rot=quat((0, 1, 0), 10))
    out["mixed_a.vmd"] = m.bytes()
    m = Motion()
    m.bone("下半身", 0, rot=quat((1, 0, 0), 20))
    out["lowerbody20.vmd"] = m.bytes()
    m = Motion()
    m.bone("左足_+", 0, rot=quat((1, 0, 0), 20))
    m.bone("左腕捩", 0, rot=quat((1, 0, 0), 20))
    m.bone("右足D", 0, rot=quat((1, 0, 0), 20))
    m.bone("右足IK親", 0, rot=quat((1, 0, 0), 30))
    out["mixed_b.vmd"] = m.bytes()
    # morphs
    m = Motion()
    for i, name in enumerate(MORPHS):
        m.morph(name, i, (i - 4) / 8)
    m.morph("あ", 100, 0.0)
    out["morphs.vmd"] = m.bytes()
    # camera only, empty, IK off
    m = Motion()
    m.cams = [camera(0), camera(30)]
    out["camera_only.vmd"] = m.bytes()
    out["empty.vmd"] = Motion().bytes()
    m = Motion()
    m.bone("左足ＩＫ", 0, pos=(0, 1, 0))
    m.cams, m.lights, m.shadows = [camera(0)], [light(0)], [shadow(0)]
    m.iks = [showik(0, [("左足ＩＫ", 1)]), showik(20, [("左足ＩＫ", 0), ("右足ＩＫ", 0)])]
    out["ik_off.vmd"] = m.bytes()
    # names that are not Shift-JIS, cut inside a character, unknown bones
    m = Motion(model=b"\x82\xa0\x82\xa2" * 4 + b"ab\x82\xa0")
    m.bone(b"\x82\xa0" * 7 + b"\x82", 0, pos=(0, 1, 0))
    m.bone(b"\xff\xfe\x80abc", 0, rot=quat((1, 0, 0), 10))
    for k in range(40):
        m.bone("ボーン%02d" % k, k, pos=(0, 0.5, 0))
    out["names.vmd"] = m.bytes()
    # cut and foreign files
    full = Motion()
    full.bone("左腕捩", 0, rot=quat((1, 0, 0), 20))
    full.bone("センター", 10, pos=(1, 0, 0))
    full.morph("あ", 0, 1)
    full.cams, full.lights, full.shadows = [camera(0)], [light(0)], [shadow(0)]
    full.iks = [showik(0, [("左足ＩＫ", 1)])]
    whole = full.bytes()
    for cut in (10, 29, 40, 52, 54, 60, 54 + 111, 54 + 222 + 2, 54 + 222 + 4 + 10, len(whole) - 30,
                len(whole) - 20, len(whole) - 5, len(whole) - 1):
        out["cut_%05d.vmd" % cut] = whole[:cut]
    out["trailing.vmd"] = whole + b"\x01\x02\x03junk"
    out["foreign.vmd"] = b"PK\x03\x04" + bytes(100)
    out["old_magic.vmd"] = field(b"Vocaloid Motion Data file", 30) + bytes(30)
    out["zero.vmd"] = b""
    m = Motion()
    m.bone("センター", 0)
    m.counts[0] = 5
    out["lying_count.vmd"] = m.bytes()
    return out


def random_motion(rng):
    m = Motion(model=rng.choice(["初音ミク", "", "VRMモデル", "a" * 20, "長い長い長い長い長いモデル名"]))
    for _ in range(rng.randint(0, 60)):
        name = rng.choice(BONES)
        axis = (rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(-1, 1))
        deg = rng.choice([0, 0.3, 2, 15, 40, 90, 144.9, 145, 150, 159.9, 160, 175, 179.9])
        q = quat(axis, deg)
        if rng.random() < 0.3:
            q = tuple(-c for c in q)
        pos = (0, 0, 0) if rng.random() < 0.6 else (rng.uniform(-2, 2), rng.uniform(-0.1, 0.1), 0)
        m.bone(name, rng.randint(-5, 3000), pos, q)
    for _ in range(rng.randint(0, 30)):
        m.morph(rng.choice(MORPHS), rng.randint(0, 3000), rng.choice([0, 0.0, 1, 0.5, -0.5, 0.25]))
    if rng.random() < 0.3:
        m.cams = [camera(f) for f in range(rng.randint(0, 3))]
    if rng.random() < 0.3:
        m.iks = [showik(rng.randint(0, 100), [("左足ＩＫ", rng.randint(0, 1))])]
    return m.bytes()


def main():
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    os.makedirs(folder, exist_ok=True)
    files = hand_picked()
    rng = random.Random(20261207)
    for i in range(count):
        files["random_%04d.vmd" % i] = random_motion(rng)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
