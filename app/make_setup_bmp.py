#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the start-up picture Setup.bmp: an 8-bit palette bitmap with a night
sky gradient, a traffic-chart line and the program's name in block letters.

    python3 app/make_setup_bmp.py app/Setup.bmp
"""
import math
import struct
import sys

WIDTH, HEIGHT = 400, 240

# 5x7 block letters, one string of five bits per row.
FONT = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
}

# Palette: 0..127 the gradient, 200 the chart line, 255 the letters.
palette = []
for i in range(256):
    if i < 128:
        t = i / 127.0
        palette.append((int(20 + 40 * t), int(30 + 90 * t), int(60 + 150 * t)))  # (r, g, b)
    elif i == 200:
        palette.append((255, 220, 0))
    elif i == 255:
        palette.append((255, 255, 255))
    else:
        palette.append((0, 0, 0))

pixels = [[int(127 * y / (HEIGHT - 1)) for _ in range(WIDTH)] for y in range(HEIGHT)]

# A trend line across the lower part.
for x in range(WIDTH):
    y = int(185 + 22 * math.sin(x / 23.0) + 9 * math.sin(x / 7.0))
    for dy in (0, 1):
        pixels[min(HEIGHT - 1, y + dy)][x] = 200


def draw_text(text, left, top, scale):
    for n, ch in enumerate(text):
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for yy in range(scale):
                        for xx in range(scale):
                            x = left + n * 6 * scale + col * scale + xx
                            pixels[top + row * scale + yy][x] = 255


scale = 8
text = "ORTOLAN"
text_width = len(text) * 6 * scale - scale
draw_text(text, (WIDTH - text_width) // 2, 50, scale)

row_bytes = (WIDTH + 3) & ~3
image = bytearray()
for y in range(HEIGHT - 1, -1, -1):  # bottom-up rows
    row = bytes(pixels[y])
    image += row + b"\0" * (row_bytes - WIDTH)

palette_bytes = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
offset = 14 + 40 + len(palette_bytes)
size = offset + len(image)
file_header = struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
info_header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(image), 2835, 2835, 256, 0)

with open(sys.argv[1] if len(sys.argv) > 1 else "Setup.bmp", "wb") as out:
    out.write(file_header + info_header + palette_bytes + image)
