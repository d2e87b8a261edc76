#!/usr/bin/env python3
"""Packs the application icon partwright.svg into partwright.ico for Windows.

The Windows programs carry partwright.ico as their icon resource, and the
installer shows it. It holds the picture at 16, 20, 24, 32, 40, 48 and 64
pixels as 32-bit BMP images (with an AND mask, for readers that ignore alpha)
and at 256 pixels as a PNG image, as Windows expects the large size.
Each size is rendered from the SVG with rsvg-convert (librsvg2-bin).
Run it from anywhere: python3 assets/make_icon.py
"""
import os
import struct
import subprocess
import zlib

BMP_SIZES = (16, 20, 24, 32, 40, 48, 64)
PNG_SIZE = 256


def render(svg, size):
    return subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), svg],
                          check=True, stdout=subprocess.PIPE).stdout


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def rgba_rows(png):
    """The rows of an 8-bit RGBA, non-interlaced PNG (what rsvg-convert writes)."""
    assert png[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, data, width, height = 8, b"", 0, 0
    while pos < len(png):
        length, kind = struct.unpack(">I4s", png[pos:pos + 8])
        body = png[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 6, 0), "expected 8-bit RGBA, not interlaced"
        elif kind == b"IDAT":
            data += body
        pos += 12 + length
    raw = zlib.decompress(data)
    stride = width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            upper_left = previous[i - 4] if i >= 4 else 0
            predictor = (0, left, up, (left + up) // 2, paeth(left, up, upper_left))[kind]
            line[i] = (line[i] + predictor) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, rows


def bmp_payload(size, rows):
    """BITMAPINFOHEADER, bottom-up BGRA rows, then the 1-bit AND mask (rows padded to 32 bits)."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour, mask = bytearray(), bytearray()
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    svg = os.path.join(here, "partwright.svg")
    images = []
    for size in BMP_SIZES:
        width, rows = rgba_rows(render(svg, size))
        assert width == size and len(rows) == size
        images.append((size, bmp_payload(size, rows)))
    images.append((PNG_SIZE, render(svg, PNG_SIZE)))

    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, payloads = b"", b""
    for size, payload in images:
        edge = size if size < 256 else 0  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(payload), offset)
        offset += len(payload)
        payloads += payload
    with open(os.path.join(here, "partwright.ico"), "wb") as out:
        out.write(directory + entries + payloads)


if __name__ == "__main__":
    main()
