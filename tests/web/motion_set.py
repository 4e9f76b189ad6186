#!/usr/bin/env python3
"""Writes the browser tests' motions into a folder: one of each verdict, of
the findings the page explains, motions the VRM-ready copy repairs, and
files cut short (with a verdict on the keys read) or not motions at all.

usage: motion_set.py FOLDER"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from make_motions import Motion, camera, light, quat, shadow, showik  # noqa: E402


def twists():
    # twist bones, a shoulder P and a lone 上半身２ over split key intervals
    m = Motion()
    for f, d in ((0, 0), (30, 70), (55, -40)):
        m.bone("左腕捩", f, rot=quat((1, -0.3, 0), d))
    for f, d in ((0, 10), (20, 50), (40, 20)):
        m.bone("左腕", f, rot=quat((0.2, 0, 1), d))
    m.bone("右手捩", 12, rot=quat((1, 0, 0), 35))
    m.bone("右手首", 0, rot=quat((0, 1, 0), 15))
    m.bone("右手首", 24, rot=quat((0, 1, 0.4), -30))
    m.bone("右肩P", 10, rot=quat((0, 0, 1), 12))
    m.bone("右肩P", 25, rot=quat((0, 0, 1), -8))
    m.bone("右肩", 0, rot=quat((0, 0, 1), 5))
    m.bone("右腕", 5, rot=quat((1, 0, 1), 40))
    m.bone("上半身２", 0)
    m.bone("上半身２", 15, rot=quat((0, 1, 0), 25))
    m.bone("センター", 8, pos=(0.5, 0, 1))
    m.morph("あ", 3, 0.5)
    m.cams = [camera(0)]
    return m


def turning(*bones, extra=None):
    # each bone turned at frame 30 by its angle about a slanted axis
    m = Motion()
    for name, deg in bones:
        m.bone(name, 0)
        m.bone(name, 30, rot=quat((1, 0.2, 0.1), deg))
    m.bone("センター", 15, pos=(0, 1, 0))
    m.morph("まばたき", 10, 1)
    return m


def arm_twist(deg):
    # an arm turned about its own length: a twist of deg
    m = Motion()
    m.bone("左腕", 0)
    m.bone("左腕", 40, rot=quat((1, 0, 0), deg))
    m.bone("センター", 10, pos=(0, 0.5, 0))
    return m


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {}
    files["twists.vmd"] = twists().bytes()
    files["twist_right.vmd"] = turning(("右腕捩", 40), ("右腕", 20)).bytes()
    files["shoulder_p.vmd"] = turning(("左肩P", 15), ("左肩", 10)).bytes()
    files["plus_bone.vmd"] = turning(("左足_+", 20), ("左足", 10)).bytes()
    files["d_bone.vmd"] = turning(("左足D", 30), ("上半身", 20)).bytes()
    files["lower_body.vmd"] = turning(("下半身", 20)).bytes()
    files["arm_twist_155.vmd"] = arm_twist(155).bytes()
    files["arm_twist_170.vmd"] = arm_twist(170).bytes()
    files["plain.vmd"] = turning(("上半身", 20), ("頭", 10), ("全ての親", 5)).bytes()
    m = Motion()
    for i, name in enumerate(("まばたき", "あ", "い", "笑い")):
        m.morph(name, i * 5, 0.25 * (i + 1))
    files["morphs.vmd"] = m.bytes()
    m = Motion()
    m.cams = [camera(0), camera(30)]
    files["camera.vmd"] = m.bytes()
    m = Motion()
    m.bone("左足ＩＫ", 0, pos=(0, 1, 0))
    m.iks = [showik(0, [("左足ＩＫ", 1)]), showik(20, [("左足ＩＫ", 0)])]
    files["ik_off.vmd"] = m.bytes()

    # cut short: in the bone keys of a motion the copy would repair, in the
    # morph keys, in the light keys, and at a negative self-shadow count (its
    # far key makes the widest row of the summary)
    whole = twists().bytes()
    files["cut_in_bones.vmd"] = whole[:54 + 111 * 5 + 40]
    m = turning(("上半身", 20))
    m.morph("あ", 20, 0.5)
    whole = m.bytes()
    files["cut_in_morphs.vmd"] = whole[:len(whole) - 4 * 4 - 10]
    m = turning(("下半身", 20))
    m.lights = [light(0), light(10)]
    m.shadows, m.iks = None, None
    files["cut_in_lights.vmd"] = m.bytes()[:-20]
    m = turning(("下半身", 20))
    m.bone("下半身", 1999999999, rot=quat((1, 0, 0), 20))  # a far key: a long duration
    m.lights = [light(0)]
    m.counts[4] = -2147483648
    files["negative_shadow_count.vmd"] = m.bytes()

    garbage = bytes((i * 7919 + 13) & 0xFF for i in range(4096))
    files["garbage.vmd"] = garbage
    files["empty.vmd"] = b""
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
