#!/usr/bin/env python3
"""Draws the four toolbar images (Add, Extract, Delete, Test) side by side into 32-bit
bitmaps with alpha, one per size the program picks from by display scale: 32 x 32 pixels
into res/toolbar.bmp (100 %), 48 into res/toolbar48.bmp (150 %), 64 into res/toolbar64.bmp
(200 %).

Run by hand when the drawing changes; the .bmp it writes is committed.
"""
import math
import struct
import sys
from pathlib import Path

SIZES = {32: "toolbar.bmp", 48: "toolbar48.bmp", 64: "toolbar64.bmp"}
SUPERSAMPLE = 4


def rounded(u, v, left, top, right, bottom, radius):
    if not (left <= u <= right and top <= v <= bottom):
        return False
    cx = min(max(u, left + radius), right - radius)
    cy = min(max(v, top + radius), bottom - radius)
    return (u - cx) ** 2 + (v - cy) ** 2 <= radius ** 2


def box(u, v):
    """The program's archive box, smaller, in the upper left."""
    if 0.40 <= u <= 0.46 and 0.30 <= v <= 0.74:
        return (250, 250, 245, 255) if int((v - 0.30) / 0.055) % 2 == 0 else (150, 160, 170, 255)
    if rounded(u, v, 0.06, 0.10, 0.80, 0.30, 0.04):
        return (96, 178, 205, 255) if v < 0.14 else (52, 138, 170, 255)
    if rounded(u, v, 0.10, 0.26, 0.76, 0.78, 0.05):
        shade = 1.0 - 0.25 * (v - 0.26) / 0.52
        return (int(31 * shade), int(111 * shade), int(139 * shade), 255)
    return None


def badge(u, v, colour):
    """A round badge in the lower right, with a white rim."""
    d = math.hypot(u - 0.70, v - 0.70)
    if d <= 0.25:
        return colour
    if d <= 0.30:
        return (255, 255, 255, 255)
    return None


def add(u, v):
    if math.hypot(u - 0.70, v - 0.70) <= 0.25:
        if (abs(u - 0.70) <= 0.045 and abs(v - 0.70) <= 0.16) or (
                abs(v - 0.70) <= 0.045 and abs(u - 0.70) <= 0.16):
            return (255, 255, 255, 255)
    return badge(u, v, (46, 160, 67, 255)) or box(u, v)


def extract(u, v):
    if math.hypot(u - 0.70, v - 0.70) <= 0.25:
        shaft = abs(u - 0.70) <= 0.045 and 0.52 <= v <= 0.74
        head = v >= 0.70 and v <= 0.86 and abs(u - 0.70) <= (0.86 - v) * 1.0
        if shaft or head:
            return (255, 255, 255, 255)
    return badge(u, v, (230, 140, 30, 255)) or box(u, v)


def delete(u, v):
    if math.hypot(u - 0.70, v - 0.70) <= 0.25:
        x, y = u - 0.70, v - 0.70
        if abs(x - y) <= 0.06 and abs(x) <= 0.13 or abs(x + y) <= 0.06 and abs(x) <= 0.13:
            return (255, 255, 255, 255)
    return badge(u, v, (210, 50, 45, 255)) or box(u, v)


def near_segment(u, v, start, end, width):
    """Within `width` of the line from `start` to `end`."""
    (x1, y1), (x2, y2) = start, end
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((u - x1) * dx + (v - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(u - (x1 + t * dx), v - (y1 + t * dy)) <= width


def test(u, v):
    """A check mark: the entries were read and found whole."""
    if math.hypot(u - 0.70, v - 0.70) <= 0.25:
        if near_segment(u, v, (0.59, 0.70), (0.67, 0.79), 0.045) or \
                near_segment(u, v, (0.67, 0.79), (0.82, 0.61), 0.045):
            return (255, 255, 255, 255)
    return badge(u, v, (60, 110, 210, 255)) or box(u, v)


def render(draw, size):
    n = SUPERSAMPLE
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = draw((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c:
                        r += c[0] * c[3]
                        g += c[1] * c[3]
                        b += c[2] * c[3]
                        a += c[3]
            row.append((r // a, g // a, b // a, a // (n * n)) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def write_strip(target, size):
    images = [render(draw, size) for draw in (add, extract, delete, test)]
    width = size * len(images)
    pixels = bytearray()
    for y in reversed(range(size)):  # bottom-up
        for image in images:
            for (r, g, b, a) in image[y]:
                # premultiplied, as alpha bitmaps for image lists are
                pixels += struct.pack("BBBB", b * a // 255, g * a // 255, r * a // 255, a)
    info = struct.pack("<IiiHHIIiiII", 40, width, size, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    target.write_bytes(header + info + bytes(pixels))


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parent.parent / "res"
    for size, name in SIZES.items():
        write_strip(folder / name, size)


if __name__ == "__main__":
    main()
