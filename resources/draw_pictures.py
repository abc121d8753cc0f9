#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws Kelmora's button pictures and window icon and writes them beside this script.

Run it after changing a drawing: `python3 resources/draw_pictures.py`. The outputs are committed, so
building never needs it; it uses the Python standard library only.

Every picture is 32 x 32 pixels with a 256-entry palette whose index 0 is transparent, so the button
face shows around the drawn shape. The six button pictures are single-frame GIF89a files; the window
icon is a PNG, the format the desktop's icon theme expects.
"""

import math
import os
import struct
import zlib

SIZE = 32
SUPERSAMPLE = 4  # samples per pixel edge; a pixel is drawn when at least half its samples are
TRANSPARENT_RGB = (192, 255, 192)  # the window's light green, for viewers that ignore transparency


# Shapes: each is a function (x, y) -> bool in pixel coordinates, y growing downwards.

def polygon(*points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                hit = not hit
        return hit
    return inside


def _segment_distance(x, y, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy))


def stroke(width, *points, closed=False):
    """A line of the given width through the points, with round joins and ends."""
    segments = list(zip(points, points[1:]))
    if closed:
        segments.append((points[-1], points[0]))

    def inside(x, y):
        return any(_segment_distance(x, y, *a, *b) <= width / 2 for a, b in segments)
    return inside


def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def ring(cx, cy, outer, inner):
    return lambda x, y: inner <= math.hypot(x - cx, y - cy) <= outer


def clipped(shape, region):
    return lambda x, y: shape(x, y) and region(x, y)


def render(layers):
    """Paints (shape, rgb) layers in order; returns rows of rgb tuples or None for transparent."""
    rows = []
    step = 1.0 / SUPERSAMPLE
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            samples = []
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x, y = px + (sx + 0.5) * step, py + (sy + 0.5) * step
                    top = None
                    for shape, rgb in layers:
                        if shape(x, y):
                            top = rgb
                    if top is not None:
                        samples.append(top)
            if len(samples) * 2 < SUPERSAMPLE * SUPERSAMPLE:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[i] for c in samples) / len(samples))
                                 for i in range(3)))
        rows.append(row)
    return rows


def to_indexed(rows):
    """Maps the picture to a 256-entry palette, index 0 transparent; coarsens colours if needed."""
    for shift in range(0, 8):
        def q(rgb):
            return tuple((c >> shift) << shift for c in rgb)
        colours = sorted({q(p) for row in rows for p in row if p is not None})
        if len(colours) <= 255:
            break
    palette = [TRANSPARENT_RGB] + colours
    palette += [(0, 0, 0)] * (256 - len(palette))
    index = {c: i + 1 for i, c in enumerate(colours)}
    pixels = [[0 if p is None else index[q(p)] for p in row] for row in rows]
    return palette, pixels


def lzw_encode(data, min_code_size=8):
    """GIF's variable-length LZW: codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bits = 0
    nbits = 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}

    table, next_code, size = fresh(), end + 1, min_code_size + 1
    emit(clear, size)
    current = b""
    for value in data:
        candidate = current + bytes([value])
        if candidate in table:
            current = candidate
            continue
        emit(table[current], size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, next_code, size = fresh(), end + 1, min_code_size + 1
        current = bytes([value])
    if current:
        emit(table[current], size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def write_gif(path, palette, pixels):
    data = bytearray(b"GIF89a")
    # Logical screen: global colour table of 2^(7+1) = 256 entries, background index 0.
    data += struct.pack("<HHBBB", SIZE, SIZE, 0xF7, 0, 0)
    for rgb in palette:
        data += bytes(rgb)
    # Graphic control extension: no delay, index 0 transparent.
    data += b"\x21\xF9\x04\x01\x00\x00\x00\x00"
    data += b"\x2C" + struct.pack("<HHHHB", 0, 0, SIZE, SIZE, 0)
    data.append(8)
    encoded = lzw_encode(bytes(v for row in pixels for v in row))
    for i in range(0, len(encoded), 255):
        block = encoded[i:i + 255]
        data.append(len(block))
        data += block
    data += b"\x00\x3B"
    with open(path, "wb") as f:
        f.write(data)


def write_png(path, palette, pixels):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0))
    data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    data += chunk(b"tRNS", b"\x00")  # index 0 transparent, every other index opaque
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def write_ico(path, png_path):
    """A Windows icon file holding the window icon's PNG as its one image."""
    with open(png_path, "rb") as f:
        png = f.read()
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(png), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + png)


# The drawings.

NAVY = (0, 0, 128)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (224, 0, 0)
DARK_RED = (128, 0, 0)
GREEN = (0, 176, 0)
DARK_GREEN = (0, 96, 0)

START = [  # a light-blue triangle pointing to the right
    (polygon((8, 4), (8, 28), (27, 16)), (128, 176, 255)),
    (stroke(1.2, (8, 4), (8, 28), (27, 16), closed=True), NAVY),
]

STOP = [  # a red circular sign with a white diagonal cross
    (disc(16, 16, 14.5), DARK_RED),
    (disc(16, 16, 13.3), RED),
    (stroke(4, (10, 10), (22, 22)), WHITE),
    (stroke(4, (22, 10), (10, 22)), WHITE),
]

TICK = [  # a green tick
    (stroke(6.5, (5, 17), (12, 25), (27, 7)), DARK_GREEN),
    (stroke(4.5, (5, 17), (12, 25), (27, 7)), GREEN),
]

CROSS = [  # two thick red diagonal strokes crossing
    (stroke(7, (6, 6), (26, 26)), DARK_RED),
    (stroke(7, (26, 6), (6, 26)), DARK_RED),
    (stroke(5, (6, 6), (26, 26)), RED),
    (stroke(5, (26, 6), (6, 26)), RED),
]

PROHIBITION = [  # a red ring crossed by a diagonal bar
    (disc(16, 16, 13), WHITE),
    (ring(16, 16, 14.5, 10.5), RED),
    (clipped(stroke(4.5, (4, 4), (28, 28)), disc(16, 16, 12)), RED),
]

_fold = 8
SHEET = [  # a white sheet of paper with a folded corner, a green circular emblem in its lower half
    (polygon((6, 2), (26 - _fold, 2), (26, 2 + _fold), (26, 30), (6, 30)), WHITE),
    (stroke(1.2, (6, 2), (26 - _fold, 2), (26, 2 + _fold), (26, 30), (6, 30), closed=True), BLACK),
    (polygon((26 - _fold, 2), (26 - _fold, 2 + _fold), (26, 2 + _fold)), (208, 208, 208)),
    (stroke(1.2, (26 - _fold, 2), (26 - _fold, 2 + _fold), (26, 2 + _fold)), BLACK),
    (disc(16, 21, 6), DARK_GREEN),
    (disc(16, 21, 4.8), GREEN),
    (stroke(1.5, (13.5, 21), (15.5, 23), (18.5, 19)), WHITE),
]

_head = ((10, 20), (18, 14), (25, 24.5), (16, 30.5))
ICON = [  # a sweeping brush: a long blue handle from the upper left to a brown head lower middle
    (stroke(4, (2.5, 2.5), (15, 17)), NAVY),
    (stroke(2.4, (2.5, 2.5), (15, 17)), (64, 96, 255)),
    (polygon(*_head), (139, 84, 36)),
    (stroke(1.2, *_head, closed=True), (80, 44, 12)),
    (stroke(1, (15, 23), (20.5, 28.5)), (80, 44, 12)),
    (stroke(1, (18, 20), (23, 25.5)), (80, 44, 12)),
    (polygon((10, 20), (18, 14), (16, 12.5), (9, 18)), (160, 160, 160)),
]

GIFS = {
    "start.gif": START,
    "stop.gif": STOP,
    "tick.gif": TICK,
    "cross.gif": CROSS,
    "prohibition.gif": PROHIBITION,
    "sheet.gif": SHEET,
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, layers in GIFS.items():
        write_gif(os.path.join(here, name), *to_indexed(render(layers)))
    write_png(os.path.join(here, "kelmora.png"), *to_indexed(render(ICON)))
    write_ico(os.path.join(here, "kelmora.ico"), os.path.join(here, "kelmora.png"))


if __name__ == "__main__":
    main()
