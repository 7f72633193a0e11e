#!/usr/bin/env python3
"""Writes the plug-in's toolbar bitmap: 16 x 16, 8 bits per pixel with a 256-entry palette,
uncompressed. It shows A above Z in blue beside a green downward arrow on a light background,
with light grey corners.

Usage: make_bitmap.py OUTPUT.bmp
"""
import struct
import sys

SIZE = 16

BACKGROUND, CORNER, BLUE, GREEN = range(4)
PALETTE = [
    (240, 240, 240),  # light background
    (192, 192, 192),  # corners
    (0, 0, 255),      # letters
    (0, 128, 0),      # arrow
]

# Rows from the top; '#' is ink. The letters stand in columns 1 to 5.
LETTER_A = ["..#..", ".#.#.", "#...#", "#####", "#...#", "#...#"]
LETTER_Z = ["#####", "...#.", "..#..", ".#...", "#....", "#####"]


def pixels():
    grid = [[BACKGROUND] * SIZE for _ in range(SIZE)]
    for top, letter in ((1, LETTER_A), (9, LETTER_Z)):
        for dy, row in enumerate(letter):
            for dx, ink in enumerate(row):
                if ink == "#":
                    grid[top + dy][1 + dx] = BLUE
    # The arrow: a shaft in columns 11 and 12, then a head narrowing to a point.
    for y in range(1, 10):
        grid[y][11] = grid[y][12] = GREEN
    for step, y in enumerate(range(10, 14)):
        for x in range(8 + step, 16 - step):
            grid[y][x] = GREEN
    for y, x in ((0, 0), (0, SIZE - 1), (SIZE - 1, 0), (SIZE - 1, SIZE - 1)):
        grid[y][x] = CORNER
    return grid


def bitmap():
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    palette += bytes(4 * (256 - len(PALETTE)))
    # Rows are stored bottom-up; 16 one-byte pixels already fill a row to a 4-byte boundary.
    image = b"".join(bytes(row) for row in reversed(pixels()))
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(image), 0, 0, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    data = header + info + palette + image
    assert len(data) - 14 == 1320
    return data


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(bitmap())
