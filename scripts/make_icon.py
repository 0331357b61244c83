#!/usr/bin/env python3
"""Draws the program icon (an archive box with a zipper) into res/varnix.ico, at every size
Windows asks for from 100 % to 250 % display scale: small icons (16, 20, 24, 32, 40), large
ones (32, 48, 64) and the 256-pixel one Explorer shows in its biggest views, which is
stored as PNG as Windows keeps it.

Run by hand when the drawing changes; the .ico it writes is committed.
"""
import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SUPERSAMPLE = 4


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(u, v):
    """Colour (r, g, b, a) of the drawing at (u, v) in the unit square, or None."""
    # Zipper pull tab hanging over the lid.
    if inside_rounded_rect(u, v, 0.43, 0.30, 0.57, 0.46, 0.04):
        if inside_rounded_rect(u, v, 0.47, 0.35, 0.53, 0.41, 0.015):
            return (40, 40, 48, 255)
        return (236, 196, 64, 255)
    # Zipper teeth down the middle of the body.
    if 0.46 <= u <= 0.54 and 0.42 <= v <= 0.90:
        row = int((v - 0.42) / 0.045)
        left_tooth = u < 0.50
        return (250, 250, 245, 255) if (row % 2 == 0) == left_tooth else (150, 160, 170, 255)
    # The lid.
    if inside_rounded_rect(u, v, 0.08, 0.14, 0.92, 0.34, 0.05):
        if v < 0.17:
            return (96, 178, 205, 255)
        return (52, 138, 170, 255)
    # The body of the box.
    if inside_rounded_rect(u, v, 0.12, 0.30, 0.88, 0.92, 0.06):
        shade = 1.0 - 0.25 * (v - 0.30) / 0.62
        return (int(31 * shade), int(111 * shade), int(139 * shade), 255)
    return None


def render(size):
    pixels = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c:
                        r += c[0] * c[3]
                        g += c[1] * c[3]
                        b += c[2] * c[3]
                        a += c[3]
            if a:
                row.append((r // a, g // a, b // a, a // (n * n)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def bitmap_entry(size):
    pixels = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(
        struct.pack("BBBB", b, g, r, a) for row in reversed(pixels) for (r, g, b, a) in row
    )
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def png_entry(size):
    pixels = render(size)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + \
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + \
        chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res" / "varnix.ico"
    images = [png_entry(size) if size >= 256 else bitmap_entry(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    target.write_bytes(out + b"".join(images))


if __name__ == "__main__":
    main()
