#!/usr/bin/env python3
"""Writes list_item.bmp, bitmap 5103: the 16x16 symbol drawn before every listed DLL.

A page with a folded corner and a cog (a library's code, not a document), on the light
grey that the result list is painted with, so that it needs no mask.
Usage: make_list_item_bmp.py OUTPUT
"""
import struct
import sys

PALETTE = {
    ".": (192, 192, 192),  # the list's background, LTGRAY_BRUSH
    "K": (0, 0, 0),
    "W": (255, 255, 255),
    "G": (128, 128, 128),
    "B": (0, 0, 128),
    "C": (0, 128, 128),
}

IMAGE = [
    "..KKKKKKKK......",
    "..KWWWWWWKK.....",
    "..KWGGGGWKWK....",
    "..KWWWWWWKWWK...",
    "..KWGGGGWKKKKK..",
    "..KWWWWWWWWWWK..",
    "..KWWWWWWWWWWK..",
    "..KWWWBWBWBWWK..",
    "..KWWBBBBBBBWK..",
    "..KWWWBBCBBWWK..",
    "..KWWBBCWCBBWK..",
    "..KWWWBBCBBWWK..",
    "..KWWBBBBBBBWK..",
    "..KWWWBWBWBWWK..",
    "..KWWWWWWWWWWK..",
    "..KKKKKKKKKKKK..",
]


def bitmap_bytes():
    width, height = len(IMAGE[0]), len(IMAGE)
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(IMAGE):  # bottom-up, as a BMP stores its rows
        for cell in row:
            red, green, blue = PALETTE[cell]
            pixels += bytes((blue, green, red))
        pixels += bytes(row_size - width * 3)
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return file_header + info_header + bytes(pixels)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(bitmap_bytes())
