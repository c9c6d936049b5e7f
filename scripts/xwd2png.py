#!/usr/bin/env python3
"""Turns an X window dump of a 24- or 32-bit TrueColor screen (xwd -root) into PNG: xwd2png.py IN.xwd OUT.png"""
import struct
import sys

from bmp2png import write_png


def read_xwd(path):
    data = open(path, "rb").read()
    fields = struct.unpack_from(">25I", data, 0)
    header_size, _, pixmap_format, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks, colormap_entries = fields[14:17], fields[19]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError(f"{path}: only 24- and 32-bit ZPixmap dumps are handled")
    offset = header_size + colormap_entries * 12
    step = bits_per_pixel // 8
    shifts = [(mask & -mask).bit_length() - 1 for mask in masks]
    order = "<" if byte_order == 0 else ">"
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        rgb = bytearray(width * 3)
        for x in range(width):
            chunk = line[x * step: x * step + step] + (b"\0" if step == 3 else b"")
            pixel, = struct.unpack(order + "I", chunk)
            for c in range(3):
                rgb[x * 3 + c] = (pixel & masks[c]) >> shifts[c]
        rows.append(bytes(rgb))
    return width, height, rows


if __name__ == "__main__":
    write_png(sys.argv[2], *read_xwd(sys.argv[1]))
