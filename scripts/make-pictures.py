#!/usr/bin/env python3
"""Draws the shell's pictures: the program icons (a dark meter face with a yellow
reading and a limit bar) and the record/stop pictures of the channels dialog.
Writes them into src/resources."""
import struct, os

def pixel(x, y, n):
    # Coordinates in 0..1 of a square icon of n pixels.
    u, v = (x + 0.5) / n, (y + 0.5) / n
    border = 1.5 / n
    if u < border or v < border or u > 1 - border or v > 1 - border:
        return (40, 40, 40, 255)
    # Display window with three "segments".
    if 0.15 < v < 0.45 and 0.12 < u < 0.88:
        for a, b in ((0.18, 0.36), (0.42, 0.60), (0.66, 0.84)):
            if a < u < b and (abs(v - 0.20) < 0.04 or abs(v - 0.40) < 0.04 or
                              (abs(u - a) < 0.05 and 0.2 < v < 0.4) or (abs(u - b) < 0.05 and 0.2 < v < 0.4)):
                return (255, 255, 0, 255)
        return (0, 0, 0, 255)
    # Limit bar: red, green, red.
    if 0.55 < v < 0.88 and 0.12 < u < 0.30:
        return (64, 128, 64, 255) if 0.62 < v < 0.81 else (255, 0, 0, 255)
    if 0.70 < v < 0.74 and 0.12 < u < 0.30:
        return (255, 255, 255, 255)
    if 0.55 < v < 0.88 and 0.38 < u < 0.88:
        return (160, 160, 160, 255)
    return (212, 208, 200, 255)

def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            rows.append(struct.pack('<BBBB', b, g, r, a))
    xor = b''.join(rows)
    mask_row = ((n + 31) // 32) * 4
    andmask = b'\0' * (mask_row * n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask

def ico(sizes):
    imgs = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, imgs):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(imgs)

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src', 'resources')
open(os.path.join(here, 'skalenor.ico'), 'wb').write(ico([32, 16]))
open(os.path.join(here, 'small.ico'), 'wb').write(ico([16]))

# Record and stop pictures of the channels-and-recording dialog: 24-bit BMPs.
def bmp(w, h, colour_at):
    row = (w * 3 + 3) & ~3
    data = b''
    for y in range(h - 1, -1, -1):
        line = b''.join(struct.pack('<BBB', *reversed(colour_at(x, y))) for x in range(w))
        data += line + b'\0' * (row - 3 * w)
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data

FACE = (212, 208, 200)
def rec(x, y, w=28, h=24):
    dx, dy = x + 0.5 - w / 2, y + 0.5 - h / 2
    d = (dx * dx + dy * dy) ** 0.5
    if d < 7.5: return (220, 0, 0)
    if d < 8.5: return (120, 0, 0)
    return FACE
def stop(x, y, w=28, h=24):
    if 7 <= x < 21 and 5 <= y < 19:
        return (40, 40, 40) if (x in (7, 20) or y in (5, 18)) else (80, 80, 80)
    return FACE
open(os.path.join(here, 'rec.bmp'), 'wb').write(bmp(28, 24, rec))
open(os.path.join(here, 'stop.bmp'), 'wb').write(bmp(28, 24, stop))
