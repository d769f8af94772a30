#!/usr/bin/env python3
"""Draws the three 24 x 24 looks of the "FB Pick QC" command icon.

A pick-time plot: axes, a first-break curve rising with offset on both sides
of the source, green picks along it and one late pick in red, ringed. It
reuses the PNG writer of the browse plug-in's icon script, so both icon sets
share one format:

    python3 draw_icons.py images/
"""
import importlib.util
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location(
    "browse_icons", os.path.join(HERE, "..", "..", "BrowseFBFile", "resource", "draw_icons.py"))
browse_icons = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(browse_icons)

SIZE = browse_icons.SIZE

# Palette slots, the same meaning in every look.
CLEAR, PAPER, FRAME, AXIS, CURVE, PICK_OK, PICK_BAD, RING = range(8)

LOOKS = {
    "1": [(0, 0, 0, 0), (250, 250, 250, 255), (40, 60, 90, 255), (120, 130, 150, 255),
          (30, 80, 200, 255), (30, 160, 50, 255), (220, 40, 40, 255), (30, 30, 30, 255)],
    "2": [(0, 0, 0, 0), (255, 255, 235, 255), (20, 70, 140, 255), (90, 120, 170, 255),
          (40, 130, 240, 255), (30, 210, 70, 255), (255, 50, 50, 255), (10, 40, 90, 255)],
    "0": [(0, 0, 0, 0), (235, 235, 235, 255), (120, 120, 120, 255), (170, 170, 170, 255),
          (140, 140, 140, 255), (165, 165, 165, 255), (130, 130, 130, 255), (100, 100, 100, 255)],
}


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = c

    # Paper with a frame.
    for y in range(1, 23):
        for x in range(1, 23):
            put(x, y, FRAME if x in (1, 22) or y in (1, 22) else PAPER)
    # Time grows downwards from the top axis; the source sits in the middle.
    for x in range(3, 21):
        put(x, 4, AXIS)
    for y in range(4, 21):
        put(12, y, AXIS)

    def curve(off):
        # Direct arrival near the source, a slower-growing refractor beyond.
        a = abs(off)
        return 5 + (a * 1.2 if a < 4 else 4.8 + (a - 4) * 0.55)

    for x in range(3, 21):
        put(x, int(round(curve(x - 12))), CURVE)
    # Picks on the curve, one of them late.
    for x in (4, 6, 8, 10, 14, 16, 18, 20):
        y = int(round(curve(x - 12))) + (6 if x == 16 else 0)
        for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1)):
            put(x + dx - 1 if x > 12 else x + dx, y + dy, PICK_BAD if x == 16 else PICK_OK)
    cx, cy = 15.5, curve(4) + 6.5
    for y in range(SIZE):
        for x in range(SIZE):
            if abs(math.hypot(x - cx, y - cy) - 3.2) < 0.55:
                put(x, y, RING)
    return px


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "images")
    os.makedirs(out_dir, exist_ok=True)
    pixels = draw()
    for suffix, palette in LOOKS.items():
        browse_icons.write_png4(os.path.join(out_dir, "fbpickqc_%s_24x24.png" % suffix), pixels, palette)


if __name__ == "__main__":
    main()
