#!/usr/bin/env python3
"""Writes the package's logo (a PNG) from the menu's picture, each pixel made
a SCALE x SCALE square and the menu face colour (the first palette entry)
transparent, as in the command's icon (tools/make_menu_icon.py).

    make_logo.py MenuBitmap.txt OUT.png
"""
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import make_menu_bitmap  # noqa: E402

SCALE = 4


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_bytes(palette, rows):
    colours = dict(palette)
    transparent = palette[0][0]
    width, height = len(rows[0]) * SCALE, len(rows) * SCALE
    raw = bytearray()
    for row in rows:
        line = bytearray()
        for key in row:
            r, g, b = colours[key]
            line += bytes((r, g, b, 0 if key == transparent else 255)) * SCALE
        raw += (b"\x00" + bytes(line)) * SCALE
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 3:
        make_menu_bitmap.fail("usage: make_logo.py MenuBitmap.txt OUT.png")
    palette, rows = make_menu_bitmap.read_picture(argv[1])
    make_menu_bitmap.check(palette, rows)
    with open(argv[2], "wb") as out:
        out.write(png_bytes(palette, rows))


if __name__ == "__main__":
    main(sys.argv)
