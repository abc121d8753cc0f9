#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the Kelmora logo (logo.png, 170 x 170 pixels) with the standard library only.

A clean disc platter on a rounded teal tile, with a sparkle where a stray file was swept off.
Run it again after changing the drawing; the PNG is kept in the repository.
"""
import math
import struct
import sys
import zlib

SIZE = 170
SAMPLES = 3  # per axis, for smooth edges


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def over(dst, src):
    """Source-over blending of two straight-alpha colours (components 0..1)."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a == 0:
        return (0, 0, 0, 0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def rounded_square(x, y, inset, radius):
    lo, hi = inset, SIZE - inset
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and lo <= x <= hi and lo <= y <= hi


def star(x, y, cx, cy, outer, inner):
    """A four-pointed sparkle."""
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r == 0:
        return True
    angle = math.atan2(dy, dx)
    t = abs(math.cos(2 * angle))
    limit = inner + (outer - inner) * t ** 6
    return r <= limit


def sample(x, y):
    c = (0, 0, 0, 0)
    teal_top, teal_bottom = (0.10, 0.55, 0.60, 1), (0.04, 0.30, 0.40, 1)
    if rounded_square(x, y, 4, 26):
        c = over(c, mix(teal_top, teal_bottom, y / SIZE))
    cx, cy = 80, 92
    r = math.hypot(x - cx, y - cy)
    if r <= 58:
        shade = 0.80 + 0.15 * (1 - (y - cy + 58) / 116)
        platter = (shade, shade, min(1, shade + 0.05), 1)
        # Faint tracks across the platter.
        if r > 22 and int(r) % 8 == 0:
            platter = mix(platter, (0.55, 0.60, 0.65, 1), 0.5)
        c = over(c, platter)
        # A glossy wedge catching the light.
        angle = math.atan2(y - cy, x - cx)
        if r > 22 and -2.4 < angle < -1.7:
            c = over(c, (1, 1, 1, 0.45))
    if r <= 58 and r >= 56:
        c = over(c, (0.35, 0.42, 0.48, 1))
    if r <= 16:
        c = over(c, (0.30, 0.36, 0.42, 1))
    if r <= 7:
        c = over(c, (0.85, 0.88, 0.90, 1))
    # The sweep: a bright arc from the platter's edge towards the sparkle.
    ar = math.hypot(x - 80, y - 92)
    aa = math.atan2(y - 92, x - 80)
    if 66 <= ar <= 72 and -1.25 < aa < -0.15:
        c = over(c, (1.0, 0.80, 0.20, 0.95))
    if star(x, y, 138, 34, 22, 4):
        c = over(c, (1.0, 0.88, 0.35, 1))
    if star(x, y, 118, 18, 8, 2):
        c = over(c, (1.0, 0.95, 0.70, 1))
    return c


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter type: none
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for i in range(3):
                        acc[i] += c[i] * c[3]
                    acc[3] += c[3]
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            rgb = [(acc[i] / acc[3]) if acc[3] else 0 for i in range(3)]
            row += bytes(round(255 * max(0, min(1, v))) for v in rgb + [a])
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "logo.png"
    with open(out, "wb") as f:
        f.write(png(render()))
