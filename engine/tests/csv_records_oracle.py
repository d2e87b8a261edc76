#!/usr/bin/env python3
"""Generates CSV sources and the pieces they must give, with Python's csv module as the oracle.

csv_records_oracle.py SEED COUNT FOLDER writes, for each case i, FOLDER/i/source.csv, FOLDER/i/options
("MODE N HEADER DELIMITER-CODE LINE-END SIZE-LIMIT CAP", one line), FOLDER/i/unclosed (the line on which
a record left open by a quote begins, when one is) and FOLDER/i/expected/, the pieces byte for byte.

Where each record ends is what csv.reader says: it is fed the source one line (up to an LF) at a time and
yields a row once the lines it was given complete a record, so the lines taken so far are the record's
bytes. The rules of the modes are then applied to those records.
"""
import os
import random
import sys

from csv_reading import records_of


def field(rng, delimiter, crlf):
    kind = rng.randrange(6)
    if kind == 0:
        return ""
    if kind == 1:
        return "".join(rng.choice("ab1 x") for _ in range(rng.randint(1, 5)))
    if kind == 2:
        return "a\"b"  # a quote inside an unquoted field is an ordinary character
    inner = ["a", "b", delimiter, "\"\"", "\n", "\r\n", "\r", " "]
    text = "".join(rng.choice(inner) for _ in range(rng.randint(0, 6)))
    if kind == 3:
        return "\"" + text + "\"c"  # bytes after the closing quote join the field
    return "\"" + text + "\""


def record(rng, delimiter, crlf):
    return delimiter.join(field(rng, delimiter, crlf) for _ in range(rng.randint(1, 4)))


def unclosed(rng, delimiter):
    inner = ["a", delimiter, "\"\"", "\n", "\r\n", "x"]
    return "z" + delimiter + "\"" + "".join(rng.choice(inner) for _ in range(rng.randint(1, 6)))


def pieces_of(records, mode, n, line_end, limit, cap, open_last):
    # In the size mode every record counts with a line end: its own, or one
    # more for the last when it has none (a line end in an open quote is none).
    def content(r):
        if open_last and r is records[-1]:
            return r
        return r[: -len(line_end)] if r.endswith(line_end) else r

    groups = []
    if mode == "lines":
        n = min(n, cap) if cap else n
        groups = [records[i : i + n] for i in range(0, len(records), n)]
    elif mode == "size":
        current, size = [], 0
        for r in records:
            cost = len(content(r)) + len(line_end)
            if current and size + cost > limit:
                groups.append(current)
                current, size = [], 0
            current.append(r)
            size += cost
        groups.append(current)
    else:
        current = []
        for r in records:
            if current and r == line_end:
                groups.append(current)
                current = []
            else:
                current.append(r)
        groups.append(current)
    if cap and mode != "lines":
        groups = [g[i : i + cap] for g in groups for i in range(0, max(len(g), 1), cap)]
    return ["".join(g) for g in groups]


def case(rng, folder):
    delimiter = rng.choice([",", ";", "\t", "|"])
    crlf = rng.random() < 0.5
    line_end = "\r\n" if crlf else "\n"
    mode = rng.choice(["lines", "size", "blank"])
    header = rng.randint(0, 2)
    body = rng.randint(1, 12)
    parts = []
    for i in range(header + body):
        blank = mode == "blank" and i >= header and rng.random() < 0.3
        text = "" if blank else record(rng, delimiter, crlf)
        parts.append(text + (line_end if crlf else rng.choice(["\n", "\n", "\r\n"])))
    ending = rng.random()
    if ending < 0.2:
        parts.append(unclosed(rng, delimiter))
    elif ending < 0.4:
        parts.append(record(rng, delimiter, crlf) or "q")  # no line end after the last record
    text = "".join(parts)

    records = [whole for whole, _ in records_of(text, delimiter)]
    head = "".join(records[:header])
    left_open = None
    if ending < 0.2:
        left_open = text.count("\n", 0, len(text) - len(records[-1])) + 1
    limit = len(head) + rng.randint(1, 40)
    cap = rng.choice([0, 0, 1, 2, 3])
    n = rng.randint(1, 4)
    pieces = pieces_of(records[header:], mode, n, line_end, limit - len(head), cap, left_open is not None)

    os.makedirs(os.path.join(folder, "expected"))
    with open(os.path.join(folder, "source.csv"), "wb") as out:
        out.write(text.encode("latin-1"))
    with open(os.path.join(folder, "options"), "w") as out:
        out.write(f"{mode} {n} {header} {ord(delimiter)} {'crlf' if crlf else 'lf'} {limit} {cap}\n")
    if left_open is not None:
        with open(os.path.join(folder, "unclosed"), "w") as out:
            out.write(f"{left_open}\n")
    for number, piece in enumerate(pieces, start=1):
        with open(os.path.join(folder, "expected", f"source-{number:04d}.csv"), "wb") as out:
            out.write((head + piece).encode("latin-1"))


def main():
    seed, count, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rng = random.Random(seed)
    for i in range(count):
        case(rng, os.path.join(folder, str(i)))


if __name__ == "__main__":
    main()
