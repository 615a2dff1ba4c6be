#!/usr/bin/python3
"""Writes the setup window's PNG resources as solid-colour stand-ins for the
view tests: each image at its real size, one opaque colour per image (and per
frame of the arrow strip), so a test can tell from a pixel which image, and
which frame, was drawn there. Also writes FixtureImages.rc embedding them.

Usage: gen_fixture_art.py OUTDIR
The colour of image ID, frame K is RGB(ID - 2000, 0x40 + 0x30 * K, 0xA0);
FixtureColour() in the tests computes the same."""
import os
import struct
import sys
import zlib

SIZES = {
    2011: (620, 340), 2012: (128, 29), 2013: (620, 47),
    2021: (172, 51), 2022: (172, 51), 2023: (172, 51), 2024: (172, 51),
    2031: (31, 23), 2032: (31, 23), 2033: (31, 23),
    2041: (45, 23), 2042: (45, 23), 2043: (45, 23),
    2051: (17, 17), 2052: (17, 17), 2053: (71, 17),
    2061: (17, 15), 2062: (17, 15), 2071: (17, 15), 2072: (17, 15),
    2081: (8, 6), 2082: (8, 6),
    2091: (26, 21), 2092: (26, 21), 2093: (26, 21),
    2094: (10, 6), 2095: (10, 6), 2096: (10, 6),
    2097: (12, 12), 2098: (12, 12), 2099: (205, 34), 2110: (12, 12),
    2151: (299, 82),
}
FRAME_WIDTH = {2012: 32}  # images made of frames side by side


def colour(image_id, frame):
    return (image_id - 2000, 0x40 + 0x30 * frame, 0xA0, 0xFF)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(image_id, width, height):
    frame_width = FRAME_WIDTH.get(image_id, width)
    row = b"".join(bytes(colour(image_id, x // frame_width)) for x in range(width))
    raw = b"".join(b"\0" + row for _ in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = ["#include <windows.h>", "", "// Solid-colour stand-ins for the setup window's images (gen_fixture_art.py).",
             "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US", ""]
    for image_id, (width, height) in sorted(SIZES.items()):
        name = f"{image_id}.png"
        with open(os.path.join(out, name), "wb") as f:
            f.write(png(image_id, width, height))
        lines.append(f'{image_id} PNGRES "{os.path.join(out, name)}"')
    with open(os.path.join(out, "FixtureImages.rc"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
