#!/usr/bin/env python3
"""Checks the icon that an X window shows against our own drawing:
    window_icon_check.py WINDOW_NAME REFERENCE.png
Reads the window's _NET_WM_ICON with xprop (Qt sets it on X11 from the
window's icon) and compares its 32 x 32 image with REFERENCE.png,
the same drawing rendered at 32 pixels: the same pixels must be see-through
and the others must have about the same colours. Another icon (Wine's
default one, say) or none at all fails. Exit status 0 when it matches.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets"))
from make_icon import rgba_rows  # noqa: E402

SIZE = 32


def window_icons(name):
    """Every (width, height, [ARGB...]) image of the window's _NET_WM_ICON."""
    text = subprocess.run(["xprop", "-name", name, "-notype", "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON"],
                          check=True, stdout=subprocess.PIPE, text=True).stdout
    if "=" not in text:
        return []
    numbers = [int(v) for v in text.split("=", 1)[1].replace(",", " ").split()]
    icons = []
    while len(numbers) >= 2:
        width, height = numbers[0], numbers[1]
        icons.append((width, height, numbers[2:2 + width * height]))
        numbers = numbers[2 + width * height:]
    return icons


def main():
    name, reference = sys.argv[1], sys.argv[2]
    with open(reference, "rb") as png:
        width, rows = rgba_rows(png.read())
    if width != SIZE or len(rows) != SIZE:
        sys.exit(f"window_icon_check: {reference} is not {SIZE} x {SIZE}")
    shown = [pixels for w, h, pixels in window_icons(name) if (w, h) == (SIZE, SIZE)]
    if not shown:
        sys.exit(f"window_icon_check: the window \"{name}\" shows no {SIZE} x {SIZE} icon")
    pixels = shown[0]
    shape_misses = colour_misses = opaque = 0
    for y, row in enumerate(rows):
        for x in range(SIZE):
            r, g, b, a = row[x * 4:x * 4 + 4]
            argb = pixels[y * SIZE + x]
            sa, sr, sg, sb = argb >> 24 & 255, argb >> 16 & 255, argb >> 8 & 255, argb & 255
            if (a >= 128) != (sa >= 128):
                shape_misses += 1
            elif a >= 128:
                opaque += 1
                if max(abs(r - sr), abs(g - sg), abs(b - sb)) > 48:
                    colour_misses += 1
    print(f"window_icon_check: {shape_misses} of {SIZE * SIZE} pixels differ in shape, "
          f"{colour_misses} of {opaque} opaque ones in colour")
    if opaque == 0 or shape_misses > SIZE * SIZE // 50 or colour_misses > opaque // 20:
        sys.exit("window_icon_check: the window's icon is not ours")


if __name__ == "__main__":
    main()
