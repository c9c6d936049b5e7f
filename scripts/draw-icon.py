#!/usr/bin/env python3
"""Draws the program's icon, src/resources/setup.ico: draw-icon.py ICON.ico

One image for every size that the system asks for at 100 to 200 %: 16, 20, 24 and 32 pixels for
the caption, 32, 40, 48 and 64 for the task switcher. A DPI-aware program is given the exact
size, sharp, instead of a smaller one stretched. The small design (a card on blue) serves up to
24 pixels, the large one (with its dithered frame) from 32; at 16 and 32 they give the
hand-drawn images of the first icon, pixel for pixel.
"""
import struct
import sys

BLUE = (0x2B, 0x5F, 0xB4)
DARK = (0x1A, 0x3C, 0x78)
CARD = (0xFA, 0xFA, 0xF4)
INK = (0x44, 0x55, 0x66)

# Each design on its own grid: (grid, frame, shapes); a shape is a rectangle (x0, y0, x1, y1)
# or a disc (cx, cy, r), in grid units.
SMALL = (16, False, [
    ("rect", CARD, (3, 4, 13, 12)),
    ("rect", INK, (4, 6, 7, 7)), ("rect", INK, (5, 5, 6, 8)),  # the head, a cross at this size
    ("rect", INK, (3, 8, 8, 11)),
    ("rect", INK, (9, 6, 12, 7)), ("rect", INK, (9, 8, 12, 9)), ("rect", INK, (9, 10, 12, 11)),
])
LARGE = (32, True, [
    ("rect", CARD, (6, 8, 26, 24)),
    ("disc", INK, (11.5, 13.5, 2.6)),
    ("rect", INK, (7, 16, 16, 22)),
    ("rect", INK, (17, 11, 24, 12)), ("rect", INK, (17, 15, 24, 16)), ("rect", INK, (17, 19, 24, 20)),
])
DRAWN = {16: SMALL, 20: SMALL, 24: SMALL, 32: LARGE, 40: LARGE, 48: LARGE, 64: LARGE}


def draw(size, design):
    grid, framed, shapes = design
    k = size / grid
    pixels = [[BLUE + (255,) for _ in range(size)] for _ in range(size)]
    if framed:
        margin, frame = round(k), round(2 * k)
        for y in range(size):
            for x in range(size):
                edge = min(x, y, size - 1 - x, size - 1 - y)
                if edge < margin:
                    pixels[y][x] = (0, 0, 0, 0)
                elif edge < margin + frame and (x + y) % 2 == 0:
                    pixels[y][x] = DARK + (255,)
    for kind, colour, where in shapes:
        for y in range(size):
            for x in range(size):
                gx, gy = (x + 0.5) / k, (y + 0.5) / k
                if kind == "rect":
                    inside = where[0] <= gx < where[2] and where[1] <= gy < where[3]
                else:
                    inside = (gx - where[0]) ** 2 + (gy - where[1]) ** 2 <= where[2] ** 2
                if inside:
                    pixels[y][x] = colour + (255,)
    return pixels


def image_bytes(size, pixels):
    """A 32-bit icon image: header, colours from the bottom row up, and the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colours + mask


def write_icon(path, images):
    sizes = sorted(images)
    offset = 6 + 16 * len(sizes)
    directory, body = b"", b""
    for size in sizes:
        image = images[size]
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset + len(body))
        body += image
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(sizes)) + directory + body)


def main():
    write_icon(sys.argv[1], {size: image_bytes(size, draw(size, design)) for size, design in DRAWN.items()})


if __name__ == "__main__":
    main()
