#!/usr/bin/python3
"""Prints segno's Micro QR symbols for a table of cases, one line each:
data-hex version level mask mode rows (rows of 0/1 joined by commas).
Every version and level, every mask and the one segno's evaluation picks, every mode the version has, at one
character, half the capacity and the full capacity (found by asking segno)."""
import itertools
import segno

LEVELS = [("M1", None), ("M2", "L"), ("M2", "M"), ("M3", "L"), ("M3", "M"),
          ("M4", "L"), ("M4", "M"), ("M4", "Q")]
MODES = {"M1": ["numeric"], "M2": ["numeric", "alphanumeric"]}
ALL_MODES = ["numeric", "alphanumeric", "byte", "kanji"]
# Text a single mode is the cheapest for: no digits among the alphanumerics,
# Shift JIS pairs whose bytes are no alphanumeric characters.
SOURCES = {
    "numeric": "31415926535897932384626433832795028841971",
    "alphanumeric": "HELLO WORLD$%*+-./:QRCODE ISO",
    "byte": "micro qr symbols from the table, every one",
    "kanji": "点茗漢字点茗漢字点茗漢字点茗",
}


def text(mode, length):
    return SOURCES[mode][:length]


def make(mode, length, version, error, mask):
    return segno.make(text(mode, length), micro=True, version=version, error=error,
                      mask=mask, mode=mode, boost_error=False)


def capacity(mode, version, error):
    length = 0
    while length < len(SOURCES[mode]):
        try:
            make(mode, length + 1, version, error, 0)
        except segno.DataOverflowError:
            break
        length += 1
    return length


def main():
    for (version, error), mask in itertools.product(LEVELS, [0, 1, 2, 3, None]):
        for mode in MODES.get(version, ALL_MODES):
            most = capacity(mode, version, error)
            for length in sorted({1, (most + 1) // 2, most}):
                symbol = make(mode, length, version, error, mask)
                data = text(mode, length).encode("shift_jis" if mode == "kanji" else "ascii")
                rows = ",".join("".join(str(m) for m in row) for row in symbol.matrix)
                print(data.hex(), version[1], error or "L", "auto" if mask is None else mask, mode, rows)


if __name__ == "__main__":
    main()
