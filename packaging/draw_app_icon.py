#!/usr/bin/env python3
"""Draws the application icon of sorv in the hicolor sizes.

The same picture as the "Browse FB File" command icon (a table of picks in
the status colours under a magnifying glass), in its colours, drawn smooth
at every size instead of on the 24-pixel grid. Standard library only:

    python3 draw_app_icon.py icons/      # icons/sorv_16.png ... sorv_256.png
"""
import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "plugins", "BrowseFBFile", "resource"))
import draw_icons  # noqa: E402  (the command icon's palette and PNG chunks)

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SAMPLES = 4  # per axis, for smooth edges

PALETTE = draw_icons.LOOKS["1"]
GRID_UNITS = draw_icons.SIZE  # the command icon's drawing is laid out on 24 units


def colour_at(x, y):
    """Palette slot at a point in command-icon units (0..24), or None."""
    p = draw_icons
    # Magnifying glass first: it lies over the table.
    cx, cy, r = 16.0, 15.0, 4.6
    d = math.hypot(x - cx, y - cy)
    if d <= r - 1.2:
        glass = True
    elif d <= r + 0.3:
        return p.LENS
    else:
        glass = False
    # Handle: a thick stroke from the rim towards the corner.
    hx, hy = x - 20.0, y - 19.0
    along = (hx + hy) / math.sqrt(2)
    across = abs(hx - hy) / math.sqrt(2)
    if -1.5 <= along <= 5.5 and across <= 1.1 and not glass:
        return p.HANDLE
    slot = None
    left, top, right, bottom = 1.0, 2.0, 19.0, 20.0
    if left <= x <= right and top <= y <= bottom:
        if x < left + 1 or x > right - 1 or y < top + 1 or y > bottom - 1:
            slot = p.FRAME
        elif y < top + 4:
            slot = p.HEADER
        else:
            slot = p.CELL
            row = int((y - (top + 4)) // 4)
            if 0 <= row < 4 and left + 7 <= x < left + 11 and (y - (top + 4)) % 4 < 3:
                slot = (p.PICK_OK, p.PICK_CHECK, p.PICK_OK, p.PICK_BAD)[row]
            elif (y - (top + 4)) % 4 >= 3.4 or abs(x - (left + 6.5)) < 0.5 or abs(x - (left + 11.5)) < 0.5:
                slot = p.GRID
    if glass:
        return ("glass", slot)
    return slot


def rgba(slot):
    if slot is None:
        return (0, 0, 0, 0)
    if isinstance(slot, tuple):
        # Tinted glass over whatever lies below it.
        g = PALETTE[draw_icons.GLASS]
        below = rgba(slot[1])
        a = g[3] / 255.0
        if below[3] == 0:
            return g
        return tuple(int(g[i] * a + below[i] * (1 - a)) for i in range(3)) + (255,)
    return PALETTE[slot]


def render(size):
    rows = []
    for py in range(size):
        row = bytearray([0])  # no filter
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    ux = (px + (sx + 0.5) / SAMPLES) * GRID_UNITS / size
                    uy = (py + (sy + 0.5) / SAMPLES) * GRID_UNITS / size
                    r, g, b, a = rgba(colour_at(ux, uy))
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if acc[3] > 0:
                row += bytes(int(acc[i] / acc[3]) for i in range(3)) + bytes([int(alpha)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def write_png_rgba(path, size, raw):
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(draw_icons.png_chunk(b"IHDR", ihdr))
        out.write(draw_icons.png_chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(draw_icons.png_chunk(b"IEND", b""))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "icons")
    os.makedirs(out_dir, exist_ok=True)
    for size in SIZES:
        write_png_rgba(os.path.join(out_dir, "sorv_%d.png" % size), size, render(size))


if __name__ == "__main__":
    main()
