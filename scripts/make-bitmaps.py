#!/usr/bin/env python3
"""Writes the button key pictures of the panels as 8-bit palettised BMP files.

GRADIENT        128 x 64  grey key: rows 0-15 at 223, then darker row by row to 159
GRADIENTPUSHED  128 x 64  the same ramp upside down (a pressed key)
SETTINGS        128 x 32  a gear between two slider groups on the key ramp
PRINTS           16 x 16  a printer with a sheet, on the button face grey

The palette is a grey ramp: index i is RGB(i, i, i).
Usage: make-bitmaps.py [output folder]   (default: src/resources next to this script)
"""
import math
import os
import struct
import sys


def write_bmp(path, width, rows):
    """rows: list of lists of palette indices, top row first."""
    stride = (width + 3) & ~3
    palette = b"".join(struct.pack("<BBBB", i, i, i, 0) for i in range(256))
    pixels = b"".join(bytes(row) + b"\0" * (stride - width) for row in reversed(rows))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, len(rows), 1, 8, 0, len(pixels),
                       2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def ramp(height):
    """Grey of each row: the upper quarter light, then darker down to 159."""
    flat = height // 4
    shades = []
    for y in range(height):
        if y < flat:
            shades.append(223)
        else:
            shades.append(223 - round((y - flat + 1) * 64 / (height - flat)))
    return shades


def gear_coverage(x, y, cx, cy):
    """Part of pixel (x, y) covered by a gear with 8 teeth, by 4 x 4 sampling."""
    hits = 0
    for sy in range(4):
        for sx in range(4):
            dx = x + (sx + 0.5) / 4 - cx
            dy = y + (sy + 0.5) / 4 - cy
            r = math.hypot(dx, dy)
            angle = math.atan2(dy, dx)
            tooth = math.cos(angle * 8) > 0.2
            outer = 10.0 if tooth else 7.5
            if 3.0 < r <= outer:
                hits += 1
    return hits / 16


def settings_picture(width=128, height=32):
    shades = ramp(height)
    rows = [[shades[y]] * width for y in range(height)]
    cx, cy = width / 2, height / 2
    dark = 56
    for y in range(height):
        for x in range(width):
            c = gear_coverage(x, y, cx, cy)
            if c > 0:
                rows[y][x] = round(rows[y][x] * (1 - c) + dark * c)
    # Slider groups either side of the gear: three tracks with a knob each.
    for group_left in (20, 84):
        for i, knob in enumerate((6, 16, 10)):
            ty = 9 + i * 7
            for x in range(group_left, group_left + 24):
                rows[ty][x] = 112
            kx = group_left + knob
            for y in range(ty - 2, ty + 3):
                for x in range(kx - 1, kx + 2):
                    rows[y][x] = dark
    return rows


def prints_picture(size=16):
    face, body, dark, paper = 212, 128, 64, 255
    rows = [[face] * size for _ in range(size)]
    def fill(x0, y0, x1, y1, shade):
        for y in range(y0, y1):
            for x in range(x0, x1):
                rows[y][x] = shade
    fill(4, 1, 12, 7, dark)        # sheet going in, outlined
    fill(5, 2, 11, 7, paper)
    fill(1, 6, 15, 12, dark)       # body
    fill(2, 7, 14, 11, body)
    fill(11, 8, 13, 9, paper)      # lamp
    fill(3, 11, 13, 15, dark)      # sheet coming out
    fill(4, 11, 12, 14, paper)
    for x in range(5, 11):
        rows[12][x] = body         # a printed line
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "resources")
    shades = ramp(64)
    write_bmp(os.path.join(out, "gradient.bmp"), 128, [[s] * 128 for s in shades])
    write_bmp(os.path.join(out, "gradient_pushed.bmp"), 128, [[s] * 128 for s in reversed(shades)])
    write_bmp(os.path.join(out, "settings.bmp"), 128, settings_picture())
    write_bmp(os.path.join(out, "prints.bmp"), 16, prints_picture())


if __name__ == "__main__":
    main()
