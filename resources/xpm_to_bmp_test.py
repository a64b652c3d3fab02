#!/usr/bin/env python3
"""Tests of xpm_to_bmp.py: the BMP it writes and the faults it refuses."""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xpm_to_bmp  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def xpm(values, colours, rows):
    lines = ["/* XPM */", "static const char* x[] = {", f'"{values}",']
    lines += [f'"{c}",' for c in colours] + [f'"{r}",' for r in rows]
    return "\n".join(lines) + "\n};\n"


def pixel(bmp, x, y):
    """Palette index of pixel (x, y), y counted from the top."""
    offset, = struct.unpack_from("<I", bmp, 10)
    width, height = struct.unpack_from("<ii", bmp, 18)
    stride = ((width * 4 + 31) // 32) * 4
    byte = bmp[offset + (height - 1 - y) * stride + x // 2]
    return byte >> 4 if x % 2 == 0 else byte & 0x0F


class Conversion(unittest.TestCase):
    def test_header_palette_and_pixels(self):
        # 3 x 2 with odd width: the rows are padded, the last nibble unused.
        text = xpm("3 2 3 1", [". c #808000", "r c #FF0000", "w c #FFFFFF"], ["r..", "..w"])
        bmp = xpm_to_bmp.bmp_bytes(*xpm_to_bmp.parse_xpm(text))
        self.assertEqual(bmp[:2], b"BM")
        size, = struct.unpack_from("<I", bmp, 2)
        self.assertEqual(size, len(bmp))
        header_size, width, height, planes, bits = struct.unpack_from("<IiiHH", bmp, 14)
        self.assertEqual((header_size, width, height, planes, bits), (40, 3, 2, 1, 4))
        # Olive is palette entry 3 (blue, green, red, 0).
        self.assertEqual(bmp[54 + 3 * 4:54 + 4 * 4], bytes([0x00, 0x80, 0x80, 0]))
        self.assertEqual(len(bmp), 14 + 40 + 64 + 2 * 4)
        self.assertEqual([pixel(bmp, x, 0) for x in range(3)], [9, 3, 3])   # top row
        self.assertEqual([pixel(bmp, x, 1) for x in range(3)], [3, 3, 15])  # bottom row

    def test_project_bitmaps_have_their_sizes_and_olive_background(self):
        for name, size in (("cancel.xpm", (13, 15)), ("interrupt.xpm", (11, 15))):
            with self.subTest(name=name):
                with open(os.path.join(HERE, name), encoding="ascii") as f:
                    width, height, rows = xpm_to_bmp.parse_xpm(f.read())
                self.assertEqual((width, height), size)
                self.assertEqual(rows[0][0], 3, "the corner shows the button face")
                self.assertTrue(any(i != 3 for row in rows for i in row), "a glyph is drawn")


class Faults(unittest.TestCase):
    CASES = [
        ("not xpm", "static char* x[] = {\"1 1 1 1\", \". c #000000\", \".\"};", "XPM"),
        ("colour outside the palette", xpm("1 1 1 1", [". c #123456"], ["."]), "16 palette"),
        ("short row", xpm("2 1 1 1", [". c #000000"], ["."]), "expected 2"),
        ("missing row", xpm("1 2 1 1", [". c #000000"], ["."]), "expected"),
        ("unknown pixel", xpm("1 1 1 1", [". c #000000"], ["x"]), "no colour line"),
        ("named colour", xpm("1 1 1 1", [". c None"], ["."]), "#RRGGBB"),
        ("key twice", xpm("1 1 2 1", [". c #000000", ". c #FFFFFF"], ["."]), "twice"),
    ]

    def test_each_fault_is_refused_with_its_reason(self):
        for name, text, reason in self.CASES:
            with self.subTest(name=name):
                with self.assertRaises(xpm_to_bmp.XpmError) as caught:
                    xpm_to_bmp.parse_xpm(text)
                self.assertIn(reason, str(caught.exception))


if __name__ == "__main__":
    unittest.main()
