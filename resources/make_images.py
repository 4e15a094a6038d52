#!/usr/bin/env python3
"""Writes the window's images: toolbar.bmp (bitmap 149), background.bmp (bitmap 150)
and orvenna.ico (icon 100, 32x32 and 16x16), all in the 16 colours of the standard
palette.

The toolbar images stand on light grey, the colour the toolbar maps to the button
face and masks out when it draws a button grey.
Usage: make_images.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

# The standard 16-colour palette, one letter each.
PALETTE = [
    ("K", (0, 0, 0)),
    ("r", (128, 0, 0)),
    ("g", (0, 128, 0)),
    ("o", (128, 128, 0)),
    ("n", (0, 0, 128)),
    ("p", (128, 0, 128)),
    ("t", (0, 128, 128)),
    (".", (192, 192, 192)),
    ("G", (128, 128, 128)),
    ("R", (255, 0, 0)),
    ("E", (0, 255, 0)),
    ("Y", (255, 255, 0)),
    ("B", (0, 0, 255)),
    ("M", (255, 0, 255)),
    ("C", (0, 255, 255)),
    ("W", (255, 255, 255)),
]
INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}
# In icons: transparent (AND mask set, colour black).
CLEAR = " "

# Toolbar images, in the order of the buttons' image numbers.
START = [  # a magnifying glass: search the drives
    "................",
    ".....KKKKK......",
    "...KKWWCCCKK....",
    "...KWWCCCCCK....",
    "..KWCCCCCCCCK...",
    "..KWCCCCCCCCK...",
    "..KCCCCCCCCCK...",
    "..KCCCCCCCCCK...",
    "..KCCCCCCCCtK...",
    "...KCCCCCCtK....",
    "...KKtttttKKK...",
    ".....KKKKK.KoK..",
    "...........KooK.",
    "............KooK",
    ".............KoK",
    "..............K.",
]
STOP = [  # a red octagon with a white bar
    "................",
    ".....KKKKKK.....",
    "....KRRRRRRK....",
    "...KRRRRRRRRK...",
    "..KRRRRRRRRRRK..",
    ".KRRRRRRRRRRRRK.",
    ".KRRRRRRRRRRRRK.",
    ".KRWWWWWWWWWWRK.",
    ".KRWWWWWWWWWWRK.",
    ".KRRRRRRRRRRRRK.",
    ".KRRRRRRRRRRRRK.",
    "..KRRRRRRRRRRK..",
    "...KRRRRRRRRK...",
    "....KRRRRRRK....",
    ".....KKKKKK.....",
    "................",
]
SAVE_LIST = [  # a diskette whose label is a list
    "................",
    ".KKKKKKKKKKKKKK.",
    ".KnKWWWWWWWWKnK.",
    ".KnKWGGGGGGWKnK.",
    ".KnKWWWWWWWWKnK.",
    ".KnKWGGGGGGWKnK.",
    ".KnKWWWWWWWWKnK.",
    ".KnKWGGGGGGWKnK.",
    ".KnnKKKKKKKKnnK.",
    ".KnnnnnnnnnnnnK.",
    ".KnnnKKKKKKKnnK.",
    ".KnnnK.KK..KnnK.",
    ".KnnnK.KK..KnnK.",
    ".KnnnK.KK..KnnK.",
    "..KKKKKKKKKKKKK.",
    "................",
]
CHECK_CALLS = [  # "f()" with a check mark: the calls a file makes
    "................",
    ".....nnnn.......",
    "....nn...n......",
    "....nn..........",
    "..nnnnnn..n...n.",
    "....nn...n.....n",
    "....nn...n.....n",
    "....nn...n.....n",
    "....nn...n.....n",
    "....nn....n...n.",
    "....nn..........",
    ".n.nn.........gg",
    "..nn.........gg.",
    ".......g....gg..",
    ".......gg..gg...",
    "........gggg....",
]
CHECK_LINKS = [  # two modules joined by a link
    "................",
    ".KKKKKK.........",
    ".KWWWWK.........",
    ".KWBBWK.........",
    ".KWWWWK.........",
    ".KKKKKK.........",
    "...KK...........",
    "...KK...........",
    "...KKKKKKKK.....",
    "...KKKKKKKKK....",
    "..........KKK...",
    ".........KKKKKK.",
    ".........KWWWWK.",
    ".........KWRRWK.",
    ".........KWWWWK.",
    ".........KKKKKK.",
]
SET_FILTERS = [  # a funnel
    "................",
    ".KKKKKKKKKKKKKK.",
    ".KWYYYYYYYYYYoK.",
    "..KWYYYYYYYYoK..",
    "...KWYYYYYYoK...",
    "....KWYYYYoK....",
    ".....KWYYoK.....",
    "......KYoK......",
    "......KYoK......",
    "......KYoK......",
    "......KYoK......",
    "......KYoK......",
    "......KYoK......",
    ".......KK.......",
    ".......BB.......",
    ".......BB.......",
]
EXIT = [  # an open door with an arrow leading out
    "................",
    "..KKKKKKKKK.....",
    "..KrrrrrrrK.....",
    "..KrrrrrrrK.....",
    "..KrrrrrrrK..g..",
    "..KrrrrrrrK..gg.",
    "..KrrrrrYrKggggg",
    "..KrrrrrYrKggggg",
    "..KrrrrrrrK..gg.",
    "..KrrrrrrrK..g..",
    "..KrrrrrrrK.....",
    "..KrrrrrrrK.....",
    "..KrrrrrrrK.....",
    "..KKKKKKKKK.....",
    "................",
    "................",
]
HELP = [  # a question mark on a book
    "................",
    "..KKKKKKKKKKKK..",
    "..KnnnnnnnnnnK..",
    "..KnnnYYYYnnnK..",
    "..KnnYYnnYYnnK..",
    "..KnnnnnnYYnnK..",
    "..KnnnnnYYnnnK..",
    "..KnnnnYYnnnnK..",
    "..KnnnnYYnnnnK..",
    "..KnnnnnnnnnnK..",
    "..KnnnnYYnnnnK..",
    "..KnnnnnnnnnnK..",
    "..KKKKKKKKKKKK..",
    "..KWWWWWWWWWWK..",
    "...KKKKKKKKKKK..",
    "................",
]
TOOLBAR = [START, STOP, SAVE_LIST, CHECK_CALLS, CHECK_LINKS, SET_FILTERS, EXIT, HELP]

# The window's background tile: white where column and row are both odd.
BACKGROUND = ["".join("W" if x % 2 and y % 2 else "." for x in range(8)) for y in range(8)]

ICON_16 = [  # a library page under a magnifying glass
    "  KKKKKKK       ",
    "  KWWWWWKK      ",
    "  KWWWWWKWK     ",
    "  KWnWnWKKKK    ",
    "  KWWnnnWWWK    ",
    "  KWnntnnWWK    ",
    "  KWWnnnKKKKK   ",
    "  KWnWnKCCCCCK  ",
    "  KWWWKCWCCCCCK ",
    "  KWWWKCCCCCCCK ",
    "  KKKKKCCCCCCCK ",
    "       KCCCCCK  ",
    "        KKKKKoK ",
    "             Koo",
    "              Ko",
    "               K",
]


def draw_icon_32():
    """The 32x32 icon, drawn from shapes: a library page with a cog, and a lens."""
    image = [[CLEAR] * 32 for _ in range(32)]

    def put(x, y, c):
        if 0 <= x < 32 and 0 <= y < 32:
            image[y][x] = c

    # The page, with a folded corner.
    for y in range(1, 29):
        for x in range(3, 22):
            fold = x - 15 > y - 1  # above the diagonal of the corner
            if not fold:
                put(x, y, "K" if x in (3, 21) or y in (1, 28) else "W")
    for i in range(7):
        put(15 + i, 1 + i, "K")
        put(15, 1 + i, "K")
        put(15 + i, 7, "K")
        for x in range(16, 15 + i):
            put(x, i + 1, "G" if x < 15 + i else "K")
    # A cog of eight teeth: the code of a library.
    cx, cy = 11, 14
    for y in range(cy - 7, cy + 8):
        for x in range(cx - 7, cx + 8):
            d = math.hypot(x - cx, y - cy)
            tooth = math.cos(8 * math.atan2(y - cy, x - cx)) > -0.3
            if d <= 1.9:
                put(x, y, "W")
            elif d <= 4.3 or (d <= 6.6 and tooth):
                put(x, y, "n")
    # Lines of text under the cog.
    for y in (23, 25):
        for x in range(6, 19):
            put(x, y, "G")
    # The lens, over the lower right of the page.
    lx, ly, r = 21, 20, 7
    for y in range(ly - r - 1, ly + r + 2):
        for x in range(lx - r - 1, lx + r + 2):
            d2 = (x - lx) ** 2 + (y - ly) ** 2
            if d2 <= (r - 1) ** 2:
                put(x, y, "W" if (x - lx) + (y - ly) < -5 and d2 >= 9 else "C")
            elif d2 <= (r + 1) ** 2 - 4:
                put(x, y, "K")
    # The handle.
    for i in range(7):
        for w in range(-1, 2):
            put(lx + 5 + i + w, ly + 5 + i, "o" if w == 0 else "K")
    return ["".join(row) for row in image]


ICON_32 = draw_icon_32()


def check(image, width, height, name):
    assert len(image) == height, f"{name}: {len(image)} rows"
    for y, row in enumerate(image):
        assert len(row) == width, f"{name}: row {y} has {len(row)} columns"
        for c in row:
            assert c in INDEX or c == CLEAR, f"{name}: colour {c!r} in row {y}"


def palette_bytes():
    return b"".join(bytes((b, g, r, 0)) for _, (r, g, b) in PALETTE)


def pixels_4bit(image):
    """Bottom-up rows of 4-bit indexes, each padded to 4 bytes."""
    width = len(image[0])
    row_size = ((width * 4 + 31) // 32) * 4
    data = bytearray()
    for row in reversed(image):
        indexes = [INDEX.get(c, 0) for c in row]
        if len(indexes) % 2:
            indexes.append(0)
        packed = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, len(indexes), 2))
        data += packed + bytes(row_size - len(packed))
    return bytes(data)


def mask_1bit(image):
    """Bottom-up rows of the AND mask: 1 where the icon is transparent."""
    width = len(image[0])
    row_size = ((width + 31) // 32) * 4
    data = bytearray()
    for row in reversed(image):
        bits = bytearray(row_size)
        for x, c in enumerate(row):
            if c == CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return bytes(data)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 2835, 2835, 16, 16)


def bitmap_file(image):
    width, height = len(image[0]), len(image)
    pixels = pixels_4bit(image)
    offset = 14 + 40 + 64
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info_header(width, height, len(pixels)) + palette_bytes() + pixels


def icon_file(images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for image in images:
        size = len(image)
        pixels, mask = pixels_4bit(image), mask_1bit(image)
        # An icon's header gives the height of colour and mask together.
        blob = info_header(size, 2 * size, len(pixels) + len(mask)) + palette_bytes() + pixels + mask
        entries.append(struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def toolbar_strip():
    # 129 columns: the eight images and one column of background to the right.
    return ["".join(image[y] for image in TOOLBAR) + "." for y in range(16)]


def main(folder):
    for i, image in enumerate(TOOLBAR):
        check(image, 16, 16, f"toolbar image {i}")
    check(BACKGROUND, 8, 8, "background")
    check(ICON_16, 16, 16, "16x16 icon")
    check(ICON_32, 32, 32, "32x32 icon")
    outputs = {
        "toolbar.bmp": bitmap_file(toolbar_strip()),
        "background.bmp": bitmap_file(BACKGROUND),
        "orvenna.ico": icon_file([ICON_32, ICON_16]),
    }
    for name, data in outputs.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
