#!/usr/bin/env python3
"""Turns a bitmap kept as reviewable text (XPM 3) into a 16-colour BMP.

    xpm_to_bmp.py INPUT.xpm OUTPUT.bmp

The text form is the C array of XPM 3: a values line "width height colours
chars-per-pixel", one line per colour ("<chars> c #RRGGBB"), then one line
per pixel row, top row first. Every colour must be one of the sixteen
colours of the standard Windows palette, which the BMP carries in that
order (so olive, 128,128,0, is palette entry 3 wherever it is used). The
BMP is 4 bits per pixel, rows bottom-up and padded to 4 bytes, as
LoadBitmap and the resource compiler expect.

Runs on the build host with nothing but Python 3, also when the library is
cross-compiled. Exit status 1 with a message naming the line on any fault.
"""

import re
import struct
import sys

# The sixteen colours of the Windows VGA palette, in palette order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


class XpmError(Exception):
    pass


def quoted_lines(text):
    """The quoted strings of the array, each with the line it stands on."""
    found = []
    for number, line in enumerate(text.splitlines(), start=1):
        for match in re.finditer(r'"((?:[^"\\]|\\.)*)"', line):
            found.append((number, match.group(1)))
    return found


def parse_xpm(text):
    """Returns (width, height, rows of palette indices)."""
    if not text.lstrip().startswith("/* XPM */"):
        raise XpmError("line 1: the file does not start with /* XPM */")
    strings = quoted_lines(text)
    if not strings:
        raise XpmError("no quoted lines")
    number, values = strings[0]
    fields = values.split()
    if len(fields) < 4 or not all(f.isdigit() for f in fields[:4]):
        raise XpmError(f"line {number}: values line must be 'width height colours chars'")
    width, height, colours, cpp = (int(f) for f in fields[:4])
    if width <= 0 or height <= 0 or colours <= 0 or cpp <= 0:
        raise XpmError(f"line {number}: width, height, colours and chars must be positive")
    if len(strings) != 1 + colours + height:
        raise XpmError(f"expected {colours} colour lines and {height} rows, "
                       f"found {len(strings) - 1} lines in all")

    index_of = {}
    for number, line in strings[1:1 + colours]:
        key, rest = line[:cpp], line[cpp:].split()
        if len(key) != cpp or len(rest) != 2 or rest[0] != "c":
            raise XpmError(f"line {number}: colour lines are '<chars> c #RRGGBB'")
        match = re.fullmatch(r"#([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})", rest[1])
        if not match:
            raise XpmError(f"line {number}: colour {rest[1]!r} is not #RRGGBB")
        rgb = tuple(int(part, 16) for part in match.groups())
        if rgb not in PALETTE:
            raise XpmError(f"line {number}: colour {rest[1]} is not one of the 16 palette colours")
        if key in index_of:
            raise XpmError(f"line {number}: colour key {key!r} given twice")
        index_of[key] = PALETTE.index(rgb)

    rows = []
    for number, line in strings[1 + colours:]:
        if len(line) != width * cpp:
            raise XpmError(f"line {number}: row has {len(line) // cpp} pixels, expected {width}")
        row = []
        for at in range(0, len(line), cpp):
            key = line[at:at + cpp]
            if key not in index_of:
                raise XpmError(f"line {number}: pixel {key!r} has no colour line")
            row.append(index_of[key])
        rows.append(row)
    return width, height, rows


def bmp_bytes(width, height, rows):
    """A BMP file: BITMAPFILEHEADER, BITMAPINFOHEADER, palette, 4-bit rows."""
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        packed = bytearray(stride)
        for x, index in enumerate(row):
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += packed
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels),
                       2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + bytes(pixels)


def main(argv):
    if len(argv) != 3:
        print("usage: xpm_to_bmp.py INPUT.xpm OUTPUT.bmp", file=sys.stderr)
        return 2
    source, target = argv[1], argv[2]
    try:
        with open(source, encoding="ascii") as f:
            width, height, rows = parse_xpm(f.read())
    except (OSError, UnicodeDecodeError, XpmError) as error:
        print(f"{source}: {error}", file=sys.stderr)
        return 1
    with open(target, "wb") as f:
        f.write(bmp_bytes(width, height, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
