#!/usr/bin/env python3
"""Draws the control's two bitmaps: the 16x16 toolbox picture (resource 102, 16 colours) and the
strip of six 16x16 call state pictures (resource 213, 24 bits). Usage: draw_bitmaps.py OUTDIR"""
import os
import struct
import sys

S = 16


def disc(x, y, cx=7.5, cy=7.5, r=7.2):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def square(x, y):
    return 5 <= x <= 10 and 5 <= y <= 10


def triangle(x, y):  # pointing right
    return 5 <= x <= 11 and abs(y - 7.5) <= (11 - x) * 0.55 + 0.4


def cross(x, y):
    return 4 <= x <= 11 and 4 <= y <= 11 and (abs(x - y) <= 1 or abs(x + y - 15) <= 1)


WHITE = (255, 255, 255)
BLUE = (40, 90, 200)
YELLOW = (240, 200, 20)
RED = (210, 40, 40)
# index: (disc colour, mark); index 5 stays empty
STATES = [(BLUE, square), (BLUE, triangle), (YELLOW, triangle), (YELLOW, square), (RED, cross), None]


def state_pixel(i, x, y):
    if STATES[i] is None:
        return WHITE
    colour, mark = STATES[i]
    if not disc(x, y):
        return WHITE
    return WHITE if mark(x, y) else colour


def bmp(width, height, bpp, rows_bottom_up, palette=b""):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(rows_bottom_up), 0, 0,
                       len(palette) // 4 if palette else 0, 0)
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows_bottom_up), 0, 0, offset)
    return head + info + palette + rows_bottom_up


def strip():
    w = 6 * S
    data = bytearray()
    for y in reversed(range(S)):
        row = bytearray()
        for x in range(w):
            r, g, b = state_pixel(x // S, x % S, y)
            row += bytes((b, g, r))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        data += row
    return bmp(w, S, 24, bytes(data))


def toolbox():
    # The standard 16-colour palette; the picture is a booth: a grey cabin with a blue
    # window and a yellow handset.
    pal = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)

    def px(x, y):
        if not (2 <= x <= 13 and 1 <= y <= 14):
            return 7  # light grey background, as toolboxes show
        if x in (2, 13) or y in (1, 14):
            return 0
        if 4 <= x <= 11 and 3 <= y <= 7:
            return 12
        if 5 <= x <= 10 and 9 <= y <= 12 and (y in (9, 12) or x in (5, 10)):
            return 11
        return 8

    data = bytearray()
    for y in reversed(range(S)):
        row = bytearray()
        for x in range(0, S, 2):
            row.append((px(x, y) << 4) | px(x + 1, y))
        data += row  # 8 bytes: already a multiple of 4
    return bmp(S, S, 4, bytes(data), palette)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, content in (("toolbox.bmp", toolbox()), ("states.bmp", strip())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(content)


if __name__ == "__main__":
    main()
