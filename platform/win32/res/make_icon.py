#!/usr/bin/env python3
"""Draws the application icon and writes it as a Windows .ico file.

    make_icon.py OUT.ico [--png DIR]

The icon: a dark rounded square holding four bars in the colours of the
report's bone list (red, orange, yellow, white) and a green tick. Each size
is drawn from the shapes below (not scaled from another size), anti-aliased
by the signed distance of each pixel centre to the shape's edge. Sizes up to
128 are stored as 32-bit DIBs with an AND mask, 256 as PNG, as Windows expects.
Only the standard library is used.
"""
import math
import os
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 128, 256]

BACKGROUND = (0x1E, 0x26, 0x38)
BARS = [  # (colour, length as a fraction of the inner width)
    ((0xF0, 0x3C, 0x3C), 0.62),
    ((0xF5, 0x96, 0x2A), 0.86),
    ((0xF2, 0xD8, 0x3A), 0.50),
    ((0xEC, 0xEC, 0xEC), 0.74),
]
TICK = (0x3C, 0xD0, 0x6A)


def clamp01(v):
    return 0.0 if v < 0 else 1.0 if v > 1 else v


def rounded_box(px, py, cx, cy, hw, hh, r):
    """Signed distance from (px, py) to a box centred on (cx, cy)."""
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def segment(px, py, ax, ay, bx, by, r):
    """Signed distance to a segment thickened to radius r (round caps)."""
    dx, dy = bx - ax, by - ay
    t = clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - r


def shapes(n):
    """The shapes at size n: (colour, distance function) from back to front."""
    s = float(n)
    out = [(BACKGROUND, lambda x, y: rounded_box(x, y, s / 2, s / 2, s * 0.47, s * 0.47, s * 0.17))]
    left, inner = s * 0.19, s * 0.62
    # bars on whole pixels, so that they stay sharp at 16 px
    bar_h = max(1.0, round(s * 0.075))
    gap = s * 0.155
    top = s * 0.25
    left = round(left)
    for i, (colour, frac) in enumerate(BARS):
        cy = round(top + i * gap - bar_h / 2) + bar_h / 2
        hw = round(inner * frac) / 2
        cx = left + hw
        out.append((colour, lambda x, y, cx=cx, cy=cy, hw=hw: rounded_box(x, y, cx, cy, hw, bar_h / 2, bar_h / 2)))
    w = max(1.1, s * 0.07)
    a, b, c = (s * 0.58, s * 0.70), (s * 0.68, s * 0.80), (s * 0.85, s * 0.55)
    # a dark rim first, so that the tick stands off the bars
    for colour, width in ((BACKGROUND, w + max(1.0, s * 0.045)), (TICK, w)):
        out.append((colour, lambda x, y, width=width: min(segment(x, y, *a, *b, width),
                                                           segment(x, y, *b, *c, width))))
    return out


def render(n):
    """RGBA rows, top row first."""
    layers = shapes(n)
    rows = []
    for j in range(n):
        row = bytearray()
        for i in range(n):
            x, y = i + 0.5, j + 0.5
            r = g = b = a = 0.0
            for colour, dist in layers:
                cov = clamp01(0.5 - dist(x, y))
                if cov <= 0:
                    continue
                # "over" compositing with premultiplied components
                r = colour[0] * cov + r * (1 - cov)
                g = colour[1] * cov + g * (1 - cov)
                b = colour[2] * cov + b * (1 - cov)
                a = cov + a * (1 - cov)
            if a > 0:
                row += bytes((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(n, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(n, rows):
    """BITMAPINFOHEADER (height doubled for the mask), BGRA rows bottom up, AND mask."""
    head = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(p for k in range(0, len(r), 4) for p in (r[k + 2], r[k + 1], r[k], r[k + 3]))
                      for r in reversed(rows))
    mask_row = (n + 31) // 32 * 4
    mask = bytearray()
    for r in reversed(rows):
        bits = bytearray(mask_row)
        for i in range(n):
            if r[4 * i + 3] == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return head + pixels + bytes(mask)


def main(argv):
    if len(argv) < 2:
        sys.exit("usage: make_icon.py OUT.ico [--png DIR]")
    pngdir = argv[argv.index("--png") + 1] if "--png" in argv else None
    images = []
    for n in SIZES:
        rows = render(n)
        images.append((n, png(n, rows) if n >= 256 else dib(n, rows)))
        if pngdir:
            with open(os.path.join(pngdir, "icon-%d.png" % n), "wb") as f:
                f.write(png(n, rows))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    tmp = argv[1] + ".tmp"
    with open(tmp, "wb") as f:
        f.write(out)
    os.replace(tmp, argv[1])


if __name__ == "__main__":
    main(sys.argv)
