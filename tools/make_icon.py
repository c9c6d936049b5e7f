#!/usr/bin/env python3
"""Draws the setup program's icon (an address card on a blue tile) at 16 and 32 pixels and
writes them as one .ico file of 32-bit images:  python3 tools/make_icon.py src/resources/setup.ico"""
import struct
import sys

BLUE = (0x2B, 0x5F, 0xB4, 0xFF)
DARK = (0x1A, 0x3C, 0x78, 0xFF)
CARD = (0xFA, 0xFA, 0xF4, 0xFF)
INK = (0x44, 0x55, 0x66, 0xFF)
CLEAR = (0, 0, 0, 0)


def pixel(size, x, y):
    """Colour of one pixel, y counted from the top."""
    s = size / 32.0
    if x < round(1 * s) or y < round(1 * s) or x >= size - round(1 * s) or y >= size - round(1 * s):
        return CLEAR
    inner = round(3 * s)
    if x < inner or y < inner or x >= size - inner or y >= size - inner:
        return DARK if (x + y) % 2 == 0 and size > 16 else BLUE
    # The card, with a head-and-shoulders mark on the left and lines of text on the right.
    left, top, right, bottom = round(6 * s), round(8 * s), size - round(6 * s), size - round(8 * s)
    if left <= x < right and top <= y < bottom:
        cx, cy = left + round(5 * s), top + round(5 * s)
        if (x - cx) ** 2 + (y - cy) ** 2 <= (2.2 * s) ** 2 + 0.5:
            return INK
        if abs(x - cx) <= round(3.5 * s) and cy + round(3 * s) <= y < bottom - round(2 * s):
            return INK
        text_left = left + round(11 * s)
        line_step = max(2, round(4 * s))
        if text_left <= x < right - round(2 * s) and (y - top - round(3 * s)) % line_step == 0 \
                and top + round(3 * s) <= y < bottom - round(2 * s):
            return INK
        return CARD
    return BLUE


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in range(size - 1, -1, -1):  # bottom-up rows
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            colour += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(size):
            if pixel(size, x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(colour) + bytes(mask)


def main(path):
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(sizes)))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/resources/setup.ico")
