#!/usr/bin/env python3
"""Writes the Explorer command's icon (a Windows .ico) from the menu picture.

    make_menu_icon.py PICTURE.txt OUT.ico

The picture is the menu bitmap's (see make_menu_bitmap.py). The icon holds it
at 16, 20, 24 and 32 pixels, the sizes Windows 11's context menu asks for at
100% to 200% display scale: each a 32-bit image with alpha, scaled from the
13 x 13 picture by nearest neighbour, the menu face colour (the first palette
entry) transparent. The same input always gives the same bytes.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_menu_bitmap  # noqa: E402

SIZES = (16, 20, 24, 32)


def image_bytes(palette, rows, size):
    colours = {key: rgb for key, rgb in palette}
    transparent = palette[0][0]
    height = len(rows)
    width = len(rows[0])
    pixels = bytearray()
    mask = bytearray()
    mask_stride = (size + 31) // 32 * 4
    for y in reversed(range(size)):  # bottom-up, as in every icon image
        source = rows[y * height // size]
        mask_row = bytearray(mask_stride)
        for x in range(size):
            key = source[x * width // size]
            r, g, b = colours[key]
            if key == transparent:
                pixels += struct.pack("<BBBB", 0, 0, 0, 0)
                mask_row[x // 8] |= 0x80 >> (x % 8)
            else:
                pixels += struct.pack("<BBBB", b, g, r, 255)
        mask += mask_row
    # The header's height counts the colour image and the mask together.
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + bytes(pixels) + bytes(mask)


def icon_bytes(palette, rows):
    images = [image_bytes(palette, rows, size) for size in SIZES]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, image in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return header + entries + b"".join(images)


def main(argv):
    if len(argv) != 3:
        make_menu_bitmap.fail("usage: make_menu_icon.py PICTURE.txt OUT.ico")
    palette, rows = make_menu_bitmap.read_picture(argv[1])
    make_menu_bitmap.check(palette, rows)
    with open(argv[2], "wb") as out:
        out.write(icon_bytes(palette, rows))


if __name__ == "__main__":
    main(sys.argv)
