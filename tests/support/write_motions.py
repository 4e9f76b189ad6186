#!/usr/bin/env python3
"""Writes the motions the GUI, strace and Windows smoke tests open (made here,
so that they run without any real motion), into a folder:

  typical.vmd  40 bones of every colour, some moving, and morphs
  small.vmd    two bones, one moving
  tall.vmd     every bone of the vocabulary's cases and morphs: a tall report
  twist.vmd    an arm twist that turns (needs fixing); its VRM-ready copy is usable

usage: write_motions.py FOLDER"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import make_motions as mm  # noqa: E402


def motions():
    typical = mm.Motion()
    for i, name in enumerate(mm.BONES[:40]):
        typical.bone(name, 0)
        typical.bone(name, 10 + i, pos=(0, 0.1 * (i % 3), 0), rot=mm.quat((1, 0.2, 0.1), 5 + 4 * i))
    for i, name in enumerate(mm.MORPHS[:8]):
        typical.morph(name, i * 5, 0.5)
    small = mm.Motion()
    small.bone("センター", 0, pos=(0, 1, 0))
    small.bone("左腕", 30, rot=mm.quat((0, 0, 1), 30))
    tall = mm.Motion()
    for i, name in enumerate(mm.BONES):
        tall.bone(name, i, pos=(0, 0.5, 0), rot=mm.quat((0, 1, 0), 3 + i))
    for i, name in enumerate(mm.MORPHS):
        tall.morph(name, i, 1.0)
    twist = mm.Motion()
    for frame, deg in ((0, 0), (30, 40)):
        twist.bone("左腕", frame, rot=mm.quat((0, 0, 1), deg / 2))
        twist.bone("左腕捩", frame, rot=mm.quat((1, 0, 0), deg))
    return {"typical.vmd": typical, "small.vmd": small, "tall.vmd": tall, "twist.vmd": twist}


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, m in motions().items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(m.bytes())


if __name__ == "__main__":
    main()
