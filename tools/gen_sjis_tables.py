#!/usr/bin/env python3
"""Generate base/sjis_tables.cpp: the Shift-JIS <-> Unicode code tables.

Source: Python's shift_jis_2004 codec (the published Shift_JIS-2004 mapping of
JIS X 0213:2004, both planes, single bytes from JIS X 0201), with the
program's own exceptions:

  * 0x815C is U+2014 EM DASH (the codec says U+2015), and U+2014 maps back to
    0x815C; U+2015 has no mapping.
  * 0x81D4 / 0x81D5 are U+FF5F / U+FF60 (the codec says U+2985 / U+2986), and
    back; U+2985 and U+2986 have no mapping.
  * The 25 codes the codec decodes to two code points (a base letter and a
    combining mark) have no mapping.
  * Byte 0x00, bytes 0x80, 0xA0, 0xFD-0xFF, lead bytes taken alone, codes with
    lead byte 0x80 and codes with a trail byte below 0x40 have no mapping.
  * Single bytes follow JIS X 0201 as the codec does: 0x5C is U+00A5,
    0x7E is U+203E, 0xA1-0xDF are U+FF61-U+FF9F; U+005C and U+007E map to the
    double-byte codes 0x815F and 0x81B0.

The Unicode -> Shift-JIS table is the inverse of the Shift-JIS -> Unicode
table restricted to code points up to U+FFFF. Rule for a unit that several
codes decode to: the lowest code wins (single bytes before double-byte codes).
With the exceptions above no unit has more than one code, so the rule never
has to choose; the generator still applies it and checks the counts below.

Table layouts (direct indexing, no search):
  kSjisToUni, 15,872 x uint32: 0x0000-0x00FF, 0x8000-0x9FFF, 0xE000-0xFCFF
  kUniToSjis, 36,352 x uint16: U+0000-04FF, U+1E00-9FFF, U+F900-FFFF

Usage:
  gen_sjis_tables.py                 write base/sjis_tables.cpp beside this tool
  gen_sjis_tables.py --output FILE   write FILE
  gen_sjis_tables.py --check FILE    exit 1 when FILE differs from the output
"""

import argparse
import os
import sys

CODEC = "shift_jis_2004"

SJIS_RANGES = [(0x0000, 0x00FF), (0x8000, 0x9FFF), (0xE000, 0xFCFF)]
UNI_RANGES = [(0x0000, 0x04FF), (0x1E00, 0x9FFF), (0xF900, 0xFFFF)]
SJIS_SIZE = 15872
UNI_SIZE = 36352

# Expected counts: mapped codes, of them above U+FFFF, mapped units.
EXPECT_SJIS = 11398
EXPECT_SJIS_ASTRAL = 303
EXPECT_UNI = 11095

LEAD_BYTES = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
OVERRIDES = {0x815C: 0x2014, 0x81D4: 0xFF5F, 0x81D5: 0xFF60}
UNMAPPED_UNITS = {0x2015, 0x2985, 0x2986}


def decode(raw):
    """The single code point the codec gives for raw, or None."""
    try:
        text = raw.decode(CODEC)
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def build_forward():
    fwd = {}
    for b in range(0x01, 0x100):
        if b == 0x80 or b == 0xA0 or b >= 0xFD or b in LEAD_BYTES:
            continue
        cp = decode(bytes([b]))
        if cp is not None:
            fwd[b] = cp
    for lead in LEAD_BYTES:
        for trail in range(0x40, 0x100):
            cp = decode(bytes([lead, trail]))
            if cp is not None:
                fwd[lead * 256 + trail] = cp
    fwd.update(OVERRIDES)
    return fwd


def build_reverse(fwd):
    rev = {}
    for code in sorted(fwd):
        cp = fwd[code]
        if cp > 0xFFFF or cp in UNMAPPED_UNITS:
            continue
        if cp not in rev:  # lowest code wins
            rev[cp] = code
    return rev


def layout(mapping, ranges, size):
    table = []
    for lo, hi in ranges:
        table.extend(mapping.get(i, 0) for i in range(lo, hi + 1))
    assert len(table) == size, (len(table), size)
    outside = [k for k in mapping if not any(lo <= k <= hi for lo, hi in ranges)]
    assert not outside, "entries outside the table ranges: %r" % outside[:10]
    return table


def check_counts(fwd, rev):
    problems = []
    astral = [c for c in fwd.values() if c > 0xFFFF]
    if len(fwd) != EXPECT_SJIS:
        problems.append("Shift-JIS codes mapped: %d, expected %d" % (len(fwd), EXPECT_SJIS))
    if len(astral) != EXPECT_SJIS_ASTRAL:
        problems.append("codes above U+FFFF: %d, expected %d" % (len(astral), EXPECT_SJIS_ASTRAL))
    if astral and (min(astral) != 0x2000B or max(astral) != 0x2A6B2):
        problems.append("astral range U+%X..U+%X" % (min(astral), max(astral)))
    if len(rev) != EXPECT_UNI:
        problems.append("units mapped: %d, expected %d" % (len(rev), EXPECT_UNI))
    for unit, code in ((0x5C, 0x815F), (0x7E, 0x81B0), (0xA5, 0x5C), (0x203E, 0x7E), (0x2014, 0x815C)):
        if rev.get(unit) != code:
            problems.append("U+%04X maps to %r, expected 0x%X" % (unit, rev.get(unit), code))
    return problems


def emit_table(out, ctype, name, ranges, table, width):
    per_line = 16
    out.append("const %s %s[%sSize] = {" % (ctype, name, name))
    index = 0
    for lo, hi in ranges:
        for start in range(lo, hi + 1, per_line):
            values = table[index:index + per_line]
            index += per_line
            cells = ",".join("0x%0*X" % (width, v) if v else "0" for v in values)
            out.append("/*%04X*/ %s," % (start, cells))
    out.append("};")


def generate():
    fwd = build_forward()
    rev = build_reverse(fwd)
    problems = check_counts(fwd, rev)
    if problems:
        for p in problems:
            print("gen_sjis_tables: " + p, file=sys.stderr)
        sys.exit(2)
    sjis = layout(fwd, SJIS_RANGES, SJIS_SIZE)
    uni = layout(rev, UNI_RANGES, UNI_SIZE)
    out = [
        "// Generated by tools/gen_sjis_tables.py from the shift_jis_2004 codec of",
        "// Python's standard library; do not edit by hand. Regenerate with",
        "//   python3 tools/gen_sjis_tables.py",
        "// and check with",
        "//   python3 tools/gen_sjis_tables.py --check base/sjis_tables.cpp",
        "// The exceptions to the codec and the reverse-mapping rule are described",
        "// in the generator. 0 means no mapping.",
        "#include \"base/sjis_tables.h\"",
        "",
        "// Shift-JIS code -> code point: %d codes mapped, %d above U+FFFF." % (EXPECT_SJIS, EXPECT_SJIS_ASTRAL),
        "// Ranges 0x0000-0x00FF, 0x8000-0x9FFF, 0xE000-0xFCFF.",
    ]
    emit_table(out, "uint32_t", "kSjisToUni", SJIS_RANGES, sjis, 4)
    out += [
        "",
        "// UTF-16 unit -> Shift-JIS code: %d units mapped." % EXPECT_UNI,
        "// Ranges U+0000-04FF, U+1E00-9FFF, U+F900-FFFF.",
    ]
    emit_table(out, "uint16_t", "kUniToSjis", UNI_RANGES, uni, 2)
    return "\n".join(out) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_out = os.path.join(here, "..", "base", "sjis_tables.cpp")
    ap = argparse.ArgumentParser(description="Generate the Shift-JIS <-> Unicode tables.")
    ap.add_argument("--output", default=default_out, help="file to write")
    ap.add_argument("--check", metavar="FILE", help="compare FILE with the output instead of writing")
    args = ap.parse_args()
    text = generate()
    if args.check:
        try:
            with open(args.check, "r", encoding="utf-8", newline="") as f:
                current = f.read()
        except OSError as e:
            print("gen_sjis_tables: cannot read %s: %s" % (args.check, e), file=sys.stderr)
            return 1
        if current != text:
            print("gen_sjis_tables: %s is out of date; regenerate it" % args.check, file=sys.stderr)
            return 1
        return 0
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
