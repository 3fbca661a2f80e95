#!/usr/bin/env python3
"""Draws Ombrix's pictures into resources/images/ with the standard library only.

- vignetteHome.png: Home's darkening vignette over the backdrop slideshow: clear in the middle, black at 80 % in
  the corners, half the size of a 1920 x 1080 screen (the layer stretches it to the screen).

Usage: python3 tools/make_images.py [output folder]
"""
import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write_png(path, width, height, rows):
    """rows: one bytes object per row of RGBA pixels."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def vignette(width=960, height=540):
    cx, cy = width / 2.0, height / 2.0
    reach = math.hypot(cx, cy)
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / reach
            alpha = int(round(204 * smoothstep(0.35, 1.0, d)))
            row += bytes((0, 0, 0, alpha))
        rows.append(bytes(row))
    return width, height, rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "resources", "images")
    os.makedirs(out, exist_ok=True)
    path = os.path.join(out, "vignetteHome.png")
    write_png(path, *vignette())
    print(path)


if __name__ == "__main__":
    main()
