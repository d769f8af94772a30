#!/usr/bin/env python3
"""Draws the three 24 x 24 looks of the "Browse FB File" command icon.

A small table of picks (header row, grid, pick-time cells in the status
colours) under a magnifying glass. Written as 4-bit indexed PNG with the
standard library only, so that it runs on any machine:

    python3 draw_icons.py images/
"""
import math
import os
import struct
import sys
import zlib

SIZE = 24


def png_chunk(kind, data):
    chunk = kind + data
    return struct.pack(">I", len(data)) + chunk + struct.pack(">I", zlib.crc32(chunk) & 0xFFFFFFFF)


def write_png4(path, pixels, palette):
    """pixels: rows of palette indices (0..15); palette: (r, g, b, a) tuples."""
    assert len(palette) <= 16
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for x in range(0, SIZE, 2):
            raw.append((row[x] << 4) | row[x + 1])
    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0)
    plte = b"".join(struct.pack("BBB", r, g, b) for r, g, b, _ in palette)
    trns = bytes(a for _, _, _, a in palette)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(png_chunk(b"IHDR", ihdr))
        out.write(png_chunk(b"PLTE", plte))
        out.write(png_chunk(b"tRNS", trns))
        out.write(png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        out.write(png_chunk(b"IEND", b""))


# Palette slots, the same meaning in every look.
CLEAR, FRAME, HEADER, CELL, GRID, PICK_OK, PICK_CHECK, PICK_BAD, LENS, GLASS, HANDLE = range(11)

LOOKS = {
    # file suffix: colours of the slots above
    "1": [(0, 0, 0, 0), (40, 60, 90, 255), (70, 110, 170, 255), (250, 250, 250, 255),
          (170, 180, 195, 255), (40, 170, 60, 255), (200, 40, 200, 255), (220, 40, 40, 255),
          (30, 30, 30, 255), (200, 225, 255, 150), (120, 80, 40, 255)],
    "2": [(0, 0, 0, 0), (20, 70, 140, 255), (40, 130, 230, 255), (255, 255, 235, 255),
          (140, 170, 210, 255), (30, 210, 70, 255), (240, 50, 240, 255), (255, 50, 50, 255),
          (10, 40, 90, 255), (170, 215, 255, 170), (160, 100, 40, 255)],
    "0": [(0, 0, 0, 0), (120, 120, 120, 255), (160, 160, 160, 255), (235, 235, 235, 255),
          (200, 200, 200, 255), (175, 175, 175, 255), (165, 165, 165, 255), (150, 150, 150, 255),
          (110, 110, 110, 255), (225, 225, 225, 140), (140, 140, 140, 255)],
}


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = c

    # The table: frame, header row, body with grid lines.
    left, top, right, bottom = 1, 2, 18, 19
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            put(x, y, FRAME if edge else (HEADER if y <= top + 3 else CELL))
    for y in range(top + 7, bottom, 4):
        for x in range(left + 1, right):
            put(x, y, GRID)
    for x in (left + 6, left + 11):
        for y in range(top + 4, bottom):
            put(x, y, GRID)
    # Pick-time cells, one per row, in the three status colours.
    for row, colour in enumerate((PICK_OK, PICK_CHECK, PICK_OK, PICK_BAD)):
        y0 = top + 4 + row * 4
        for y in range(y0, y0 + 3):
            for x in range(left + 7, left + 11):
                put(x, y, colour)

    # The magnifying glass over the lower right corner.
    cx, cy, r = 15.5, 14.5, 4.6
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if d <= r - 1.2:
                put(x, y, GLASS)
            elif d <= r + 0.3:
                put(x, y, LENS)
    for k in range(6):
        for w in (0, 1):
            put(19 + k + w, 18 + k, HANDLE)
    return px


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "images")
    os.makedirs(out_dir, exist_ok=True)
    pixels = draw()
    for suffix, palette in LOOKS.items():
        write_png4(os.path.join(out_dir, "fbbrowser_%s_24x24.png" % suffix), pixels, palette)


if __name__ == "__main__":
    main()
