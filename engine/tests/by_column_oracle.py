#!/usr/bin/env python3
"""Generates CSV sources and the pieces a cut by column must give, with Python's csv module as the oracle.

by_column_oracle.py SEED COUNT FOLDER writes, for each case i, FOLDER/i/source.csv, FOLDER/i/options
("COLUMN HEADER DELIMITER-CODE LINE-END", one line; COLUMN a field number or a name of the header) and
FOLDER/i/expected/, the pieces byte for byte. Case 0 holds thousands of distinct values.

A record's bytes are those csv.reader takes for it (fed the source one line, up to an LF, at a time); its
value is the field csv.reader reads at that place, empty when the record has fewer fields. Each value's
piece is the header and its records in source order, named source-KEPT.csv (KEPT: the value's letters,
marks and decimal digits of any script, "-" and "_", at most 100 bytes of them in UTF-8, "empty" when none), the second value to want a name taking "(2)".
"""
import os
import random
import sys
import unicodedata

from csv_reading import records_of

VALUES = ["", "a", "Paris", "x y", "a,b", "q\"q", "line\nbreak", "cr\r\nlf", "-_z", "empty", "\u00fc", "A;b|c\td",
          "a\",b", "a\";b", "a\"|b", "a\"\tb",
          "Z\u00fcrich", "\u6771\u4eac", "\u0395\u03bb\u03bb\u03ac\u03b4\u03b1", "\u0939\u093f\u0928\u094d\u0926\u0940",
          "\U0001F600x", "a\u00a0b\u2013c", "\u5b57" * 40]


def quoted(value, delimiter, rng):
    if any(c in value for c in (delimiter, "\"", "\r", "\n")) or rng.random() < 0.2:
        return "\"" + value.replace("\"", "\"\"") + "\""
    return value


def kept(value):
    name, size = "", 0
    for c in value:
        category = unicodedata.category(c)
        if c.isascii() and not (c.isalnum() or c in "-_"):
            continue
        if not c.isascii() and category[0] not in "LM" and category != "Nd":
            continue
        size += len(c.encode("utf-8"))
        if size > 100:
            break
        name += c
    return name or "empty"


def case(rng, folder, many):
    delimiter = rng.choice([",", ";", "\t", "|"])
    line_end = rng.choice(["\n", "\r\n"])
    column = rng.randint(1, 3)
    header = rng.randint(0, 1)
    named = header == 1 and rng.random() < 0.5
    if many:
        pool = ["v%d" % i for i in range(3000)] + VALUES
        count = 9000
    else:
        pool = VALUES + ["".join(rng.choice("abAB12-_ ") for _ in range(rng.randint(1, 4))) for _ in range(8)]
        pool = rng.sample(pool, rng.randint(1, len(pool)))
        count = rng.randint(1, 40)
    parts = []
    if header:
        parts.append(delimiter.join("col%d" % f for f in range(1, 5)) + line_end)
    for i in range(count):
        if rng.random() < 0.05:
            parts.append(line_end)  # a blank line: a record of no fields
            continue
        fields = [quoted(rng.choice(pool), delimiter, rng) for _ in range(rng.randint(1, 4))]
        parts.append(delimiter.join(fields) + line_end)
    text = "".join(parts)
    if rng.random() < 0.3 and text.endswith(line_end):
        text = text[: -len(line_end)]
        if text.endswith(delimiter) or not text:
            text += "t"
    records = records_of(text, delimiter)
    head = records[0][0] if header else ""
    body = records[1:] if header else records
    pieces = {}
    for raw, row in body:
        value = row[column - 1] if len(row) >= column else ""
        pieces.setdefault(value, []).append(raw)
    os.makedirs(os.path.join(folder, "expected"))
    copies = {}
    for value, raws in pieces.items():
        wanted = "source-" + kept(value)
        copies[wanted] = copies.get(wanted, 0) + 1
        name = wanted + (" (%d)" % copies[wanted] if copies[wanted] > 1 else "") + ".csv"
        with open(os.path.join(folder, "expected", name), "w", encoding="utf-8", newline="") as out:
            out.write(head + "".join(raws))
    with open(os.path.join(folder, "source.csv"), "w", encoding="utf-8", newline="") as out:
        out.write(text)
    with open(os.path.join(folder, "options"), "w") as out:
        name = "col%d" % column if named else str(column)
        out.write("%s %d %d %s\n" % (name, header, ord(delimiter), "crlf" if line_end == "\r\n" else "lf"))


def main():
    seed, count, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rng = random.Random(seed)
    for i in range(count):
        place = os.path.join(folder, str(i))
        os.makedirs(place)
        case(rng, place, i == 0)


if __name__ == "__main__":
    main()
