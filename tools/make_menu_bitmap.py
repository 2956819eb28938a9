#!/usr/bin/env python3
"""Writes the menu bitmap (a Windows .bmp) from its text picture.

    make_menu_bitmap.py PICTURE.txt OUT.bmp

The picture file holds a palette section ("palette" then one line per colour:
a character and a hex RRGGBB value, in palette order) and a picture section
("picture" then one line per pixel row, top row first, one palette character
per pixel). '#' starts a comment line. The output is an uncompressed BI_RGB
bitmap with 8 bits per pixel and exactly as many palette entries as the
palette section lists; the same input always gives the same bytes.
"""
import struct
import sys

WIDTH = 13
HEIGHT = 13
PALETTE_SIZE = 17


def fail(message):
    sys.stderr.write("make_menu_bitmap: %s\n" % message)
    sys.exit(1)


def read_picture(path):
    palette = []  # (character, (r, g, b))
    rows = []
    section = None
    with open(path, encoding="ascii") as source:
        for number, raw in enumerate(source, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.strip() in ("palette", "picture"):
                section = line.strip()
                continue
            if section == "palette":
                fields = line.split()
                if len(fields) < 2 or len(fields[0]) != 1 or len(fields[1]) != 6:
                    fail("%s:%d: expected '<char> RRGGBB'" % (path, number))
                try:
                    value = int(fields[1], 16)
                except ValueError:
                    fail("%s:%d: bad colour %r" % (path, number, fields[1]))
                palette.append((fields[0], ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)))
            elif section == "picture":
                rows.append(line)
            else:
                fail("%s:%d: text before the palette or picture section" % (path, number))
    return palette, rows


def check(palette, rows):
    keys = [key for key, _ in palette]
    if len(palette) != PALETTE_SIZE:
        fail("the palette has %d entries, not %d" % (len(palette), PALETTE_SIZE))
    if len(set(keys)) != len(keys):
        fail("a palette character is used twice")
    if len(rows) != HEIGHT:
        fail("the picture has %d rows, not %d" % (len(rows), HEIGHT))
    for y, row in enumerate(rows):
        if len(row) != WIDTH:
            fail("picture row %d has %d pixels, not %d" % (y, len(row), WIDTH))
        for x, key in enumerate(row):
            if key not in keys:
                fail("picture row %d, column %d: %r is not in the palette" % (y, x, key))


def bitmap_bytes(palette, rows):
    index = {key: i for i, (key, _) in enumerate(palette)}
    stride = (WIDTH + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):  # a bottom-up bitmap stores the last row first
        line = bytes(index[key] for key in row)
        pixels += line + bytes(stride - len(line))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 0, 0, len(palette), 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + colours + bytes(pixels)


def main(argv):
    if len(argv) != 3:
        fail("usage: make_menu_bitmap.py PICTURE.txt OUT.bmp")
    palette, rows = read_picture(argv[1])
    check(palette, rows)
    with open(argv[2], "wb") as out:
        out.write(bitmap_bytes(palette, rows))


if __name__ == "__main__":
    main(sys.argv)
