#!/usr/bin/env python3
"""Draws the two pointer images that ship beside the program.

HAND-M.CUR  a pointing hand, a real cursor file (type 2) with its hotspot at
            the fingertip
drag.ico    the list's drag pointer: an arrow carrying a page of text; an
            icon has no hotspot, so the arrow's tip sits at the top-left pixel

Each image is 32 x 32 with a 32-bit BMP payload (alpha channel) and an AND
mask, so readers that ignore alpha still see the right shape.
Run it from anywhere: python3 assets/make_pointers.py
"""
import math
import os
import struct

SIZE = 32
CLEAR = None
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
GREY = (128, 128, 128, 255)


def outline(inside):
    """Paints the inside white and every pixel touching it black."""
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if inside(x, y):
                pixels[y][x] = WHITE
            elif any(inside(x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                pixels[y][x] = BLACK
    return pixels


def near_segment(x, y, a, b, radius):
    (ax, ay), (bx, by) = a, b
    length2 = (bx - ax) ** 2 + (by - ay) ** 2
    t = max(0.0, min(1.0, ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / length2))
    return math.hypot(x - (ax + t * (bx - ax)), y - (ay + t * (by - ay))) <= radius


def hand_inside(x, y):
    index_finger = 9 <= x <= 11 and 2 <= y <= 14 or (x == 10 and y == 1)
    middle = 13 <= x <= 15 and 8 <= y <= 14
    ring = 17 <= x <= 19 and 9 <= y <= 14
    little = 21 <= x <= 22 and 11 <= y <= 14
    palm = 8 <= x <= 22 and 14 <= y <= 24 and not (x, y) in ((8, 24), (22, 24), (22, 23))
    thumb = near_segment(x, y, (4.0, 14.0), (9.0, 20.0), 1.6)
    wrist = 10 <= x <= 20 and 25 <= y <= 28
    return index_finger or middle or ring or little or palm or thumb or wrist


def draw_hand():
    return outline(hand_inside), (10, 0)


def triangle_inside(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def arrow_inside(x, y):
    head = triangle_inside(x, y, (1, 1), (1, 15), (11, 11))
    tail = near_segment(x, y, (4.5, 11.0), (7.5, 17.0), 1.3)
    return head or tail


def draw_drag():
    page_left, page_top, page_right, page_bottom = 13, 10, 28, 30

    def page_inside(x, y):
        fold = x - page_right + 4 > y - page_top  # the folded top-right corner
        return page_left <= x <= page_right and page_top <= y <= page_bottom and not fold

    pixels = outline(page_inside)
    for y in range(page_top + 4, page_bottom - 1, 3):  # lines of text
        for x in range(page_left + 2, page_right - 2 - (y % 2) * 3):
            pixels[y][x] = GREY
    for (x, y), colour in _overlay(outline(arrow_inside)):
        pixels[y][x] = colour
    return pixels, (0, 0)


def _overlay(layer):
    for y in range(SIZE):
        for x in range(SIZE):
            if layer[y][x] is not CLEAR:
                yield (x, y), layer[y][x]


def bmp_payload(pixels):
    """BITMAPINFOHEADER, bottom-up BGRA rows, then the 1-bit AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        bits = 0
        for x, pixel in enumerate(row):
            r, g, b, a = pixel if pixel is not CLEAR else (0, 0, 0, 0)
            colour += bytes((b, g, r, a))
            if pixel is CLEAR:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    return header + bytes(colour) + bytes(mask)


def icon_file(pixels, kind, hotspot):
    """An ICO (kind 1) or CUR (kind 2) file holding one 32 x 32 image."""
    payload = bmp_payload(pixels)
    if kind == 2:
        planes_or_x, bits_or_y = hotspot
    else:
        planes_or_x, bits_or_y = 1, 32
    directory = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, planes_or_x, bits_or_y, len(payload), 6 + 16)
    return directory + entry + payload


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    hand, fingertip = draw_hand()
    with open(os.path.join(here, "HAND-M.CUR"), "wb") as out:
        out.write(icon_file(hand, 2, fingertip))
    drag, _ = draw_drag()
    with open(os.path.join(here, "drag.ico"), "wb") as out:
        out.write(icon_file(drag, 1, (0, 0)))


if __name__ == "__main__":
    main()
