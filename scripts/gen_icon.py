#!/usr/bin/env python3
"""Draws the program icon: a rounded blue tile with a white download arrow,
at 16, 32 and 48 pixels, written as a Windows .ico with PNG images."""
import struct
import sys
import zlib


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(pixels[y * size * 4:(y + 1) * size * 4]) for y in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def inside_rounded(x, y, size, radius):
    cx = min(max(x, radius), size - 1 - radius)
    cy = min(max(y, radius), size - 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_arrow(x, y, size):
    u, v = x / size, y / size
    shaft = 0.42 <= u <= 0.58 and 0.18 <= v <= 0.55
    head = 0.50 <= v <= 0.74 and abs(u - 0.5) <= (0.74 - v) * 1.1
    base = 0.78 <= v <= 0.86 and 0.24 <= u <= 0.76
    return shaft or head or base


def draw(size):
    pixels = []
    radius = max(2, size // 5)
    for y in range(size):
        for x in range(size):
            if not inside_rounded(x, y, size, radius):
                pixels += [0, 0, 0, 0]
            elif in_arrow(x + 0.5, y + 0.5, size):
                pixels += [255, 255, 255, 255]
            else:
                shade = int(40 * y / size)
                pixels += [0x1F, 0x6F - shade // 2, 0xD8 - shade, 255]
    return png(size, pixels)


def main():
    sizes = [16, 32, 48]
    images = [draw(s) for s in sizes]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
