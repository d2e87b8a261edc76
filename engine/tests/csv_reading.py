"""How Python's csv module reads a source into records, for the CSV oracles."""
import csv


def lines_to_lf(text):
    """The source's lines as the reader is given them: each up to and with an LF (splitlines also
    splits at a lone CR, which ends no line here)."""
    lines, current = [], ""
    for line in text.splitlines(keepends=True):
        current += line
        if current.endswith("\n"):
            lines.append(current)
            current = ""
    if current:
        lines.append(current)
    return lines


def records_of(text, delimiter):
    """The source's records as csv.reader ends them: their text, line ends included, and their fields."""
    lines = lines_to_lf(text)
    taken = [0]

    def feed():
        for line in lines:
            taken[0] += 1
            yield line

    records, start = [], 0
    for row in csv.reader(feed(), delimiter=delimiter, quotechar="\"", doublequote=True, strict=False):
        end = sum(len(line) for line in lines[: taken[0]])
        records.append((text[start:end], row))
        start = end
    assert start == len(text), "the reader left bytes out"
    return records
