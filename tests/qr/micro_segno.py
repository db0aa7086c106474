#!/usr/bin/python3
"""Prints Micro QR symbols of segno and zint for a table of cases, one line each:
  segno data-hex version level mask mode padding rows
  zint  data-hex version level mask mode - rows
rows are 0/1 strings joined by commas. Every version and level, every mode the
version has, at one character, half the capacity and the full capacity (found
by asking segno); segno with every mask and with its own choice ("auto"), zint
with its own choice (it cannot be given a Micro QR mask), whose mask is read
back from the symbol's format information; zint also with mixed texts and its
own version ("auto").
padding is "standard" or "segno": segno 1.4 pads differently from ISO/IEC
18004 7.4.10 when the terminator ends on a codeword boundary (it adds a zero
codeword) and in M1/M3 (no 0xEC/0x11 pad codewords at all)."""
import itertools
import shutil
import subprocess

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


CAPACITY = {("M1", None): 20, ("M2", "L"): 40, ("M2", "M"): 32, ("M3", "L"): 84,
            ("M3", "M"): 68, ("M4", "L"): 128, ("M4", "M"): 112, ("M4", "Q"): 80}


def data_bits(mode, length, v):
    count = {"numeric": v + 2, "alphanumeric": v + 1, "byte": v + 1, "kanji": v}[mode]
    body = {"numeric": 10 * (length // 3) + [0, 4, 7][length % 3],
            "alphanumeric": 11 * (length // 2) + 6 * (length % 2),
            "byte": 8 * length, "kanji": 13 * length}[mode]
    return v - 1 + count + body


def padding(mode, length, version, error):
    v = int(version[1])
    capacity = CAPACITY[(version, error)]
    end = min(capacity, data_bits(mode, length, v) + 2 * v + 1)
    pad_codewords = (end + 7) // 8 * 8 + 8 <= capacity
    if (v in (1, 3) and pad_codewords) or (end % 8 == 0 and end + 8 <= capacity):
        return "segno"
    return "standard"


# Mixed texts whose cheapest segmentation has several segments, for zint with its own version.
MIXED = ["Ab-12345678", "abc123456789", "HELLO12345678901", "a1234567890123", "12AB34CD", "x-1234",
         "AC-42 abc"]


def zint(text, version, error):
    level = {None: 1, "L": 1, "M": 2, "Q": 3}[error]
    chosen = ["--vers=%s" % version[1]] if version else []
    dump = subprocess.run(["zint", "-b", "97", *chosen, "--secure=%d" % level,
                           "-d", text, "--dump"], capture_output=True, text=True, check=True).stdout
    lines = [line for line in dump.splitlines() if line.strip()]
    rows = ["".join(format(int(h, 16), "0%db" % (4 * len(h))) for h in line.split())[:len(lines)]
            for line in lines]
    word = int(rows[8][1:9] + "".join(rows[y][8] for y in range(7, 0, -1)), 2) ^ 0x4445
    return (word >> 10) & 3, ",".join(rows)


def main():
    has_zint = shutil.which("zint") is not None
    for (version, error), mode in itertools.product(LEVELS, ALL_MODES):
        if mode not in MODES.get(version, ALL_MODES):
            continue
        most = capacity(mode, version, error)
        for length in sorted({1, (most + 1) // 2, most}):
            data = text(mode, length).encode("shift_jis" if mode == "kanji" else "ascii").hex()
            case = (data, version[1], error or "L")
            for mask in [0, 1, 2, 3, None]:
                symbol = make(mode, length, version, error, mask)
                rows = ",".join("".join(str(m) for m in row) for row in symbol.matrix)
                print("segno", *case, "auto" if mask is None else mask, mode,
                      padding(mode, length, version, error), rows)
            if has_zint:
                mask, rows = zint(text(mode, length), version, error)
                print("zint", *case, mask, mode, "-", rows)
    for mixed, error in itertools.product(MIXED if has_zint else [], ["L", "M"]):
        mask, rows = zint(mixed, None, error)
        print("zint", mixed.encode().hex(), "auto", error, mask, "mixed", "-", rows)


if __name__ == "__main__":
    main()
