#!/usr/bin/env python3
"""Writes engine/name/name_letters.inc: the ranges of code points above ASCII
that are letters (L*), marks (M*, which letters of many scripts carry) or
decimal digits (Nd), from Python's own Unicode data. Run it again to move
to a newer Unicode: python3 scripts/make-name-letters.py > engine/name/name_letters.inc"""
import unicodedata


def kept(code_point):
    category = unicodedata.category(chr(code_point))
    return category[0] in "LM" or category == "Nd"


ranges = []
start = None
for code_point in range(0x80, 0x110001):
    inside = code_point <= 0x10FFFF and kept(code_point)
    if inside and start is None:
        start = code_point
    elif not inside and start is not None:
        ranges.append((start, code_point - 1))
        start = None

print("// Made by scripts/make-name-letters.py from Unicode %s: do not edit." % unicodedata.unidata_version)
print("// The code points above ASCII that are letters, marks or decimal digits, as")
print("// ranges of first and last, in order.")
for at in range(0, len(ranges), 4):
    print(" ".join("{0x%04X, 0x%04X}," % pair for pair in ranges[at:at + 4]))
