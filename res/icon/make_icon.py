#!/usr/bin/env python3
"""Turns the icon's text source into a Windows .ico of 4-bit (16-colour) images, or into a PNG
of one size for the Linux desktop and the Qt window.

Usage: make_icon.py SOURCE.txt OUTPUT.ico
       make_icon.py --png SIZE SOURCE.txt OUTPUT.png

A PNG of a size the source has no image for is the largest image whose size divides it, each pixel
repeated, so that the pixel art stays sharp.

The source names a 16-colour palette ("colour <char> <RRGGBB>") and one or more square images
("image <size>" followed by its rows); "." is a transparent pixel. Any mistake in the source stops
the build with the line it is on, so a broken picture never reaches the resources.
"""

import struct
import sys
import zlib

TRANSPARENT = "."
PALETTE_SIZE = 16


class SourceError(Exception):
    pass


def parse(text):
    palette = {}  # character -> (index, (r, g, b))
    images = []  # (size, rows)
    current = None
    for number, raw in enumerate(text.splitlines(), start=1):
        line = raw.rstrip()
        if current is not None and len(current[1]) < current[0]:
            if len(line) != current[0]:
                raise SourceError(f"line {number}: a row of {current[0]} characters expected")
            for char in line:
                if char != TRANSPARENT and char not in palette:
                    raise SourceError(f"line {number}: '{char}' is not in the palette")
            current[1].append(line)
            continue
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] == "colour" and len(words) == 3 and len(words[1]) == 1:
            char, rgb = words[1], words[2]
            if char == TRANSPARENT or char in palette:
                raise SourceError(f"line {number}: '{char}' cannot name a colour")
            try:
                value = int(rgb, 16)
            except ValueError:
                raise SourceError(f"line {number}: '{rgb}' is not RRGGBB") from None
            if len(rgb) != 6:
                raise SourceError(f"line {number}: '{rgb}' is not RRGGBB")
            palette[char] = (len(palette), ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF))
        elif words[0] == "image" and len(words) == 2 and words[1].isdigit():
            size = int(words[1])
            if not 1 <= size <= 256:
                raise SourceError(f"line {number}: image size {size} out of range")
            current = (size, [])
            images.append(current)
        else:
            raise SourceError(f"line {number}: not understood: {line}")
    if len(palette) != PALETTE_SIZE:
        raise SourceError(f"{len(palette)} colours given, {PALETTE_SIZE} needed")
    if not images:
        raise SourceError("no image given")
    for size, rows in images:
        if len(rows) != size:
            raise SourceError(f"image {size}: {len(rows)} rows given")
    return palette, images


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def bitmap(palette, size, rows):
    """One icon image: BITMAPINFOHEADER, palette, colour bits and mask, rows bottom-up."""
    colour_rows = []
    mask_rows = []
    for row in reversed(rows):
        indices = [0 if c == TRANSPARENT else palette[c][0] for c in row]
        if len(indices) % 2:
            indices.append(0)
        colour_rows.append(padded(bytes(indices[i] << 4 | indices[i + 1]
                                        for i in range(0, len(indices), 2))))
        bits = [1 if c == TRANSPARENT else 0 for c in row]
        bits += [0] * (-len(bits) % 8)
        mask_rows.append(padded(bytes(sum(bit << (7 - j) for j, bit in enumerate(bits[i:i + 8]))
                                      for i in range(0, len(bits), 8))))
    colour = b"".join(colour_rows)
    mask = b"".join(mask_rows)
    # The height counts colour bits and mask together.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(colour) + len(mask),
                         0, 0, PALETTE_SIZE, 0)
    quads = b"".join(bytes((b, g, r, 0))
                     for _, (r, g, b) in sorted(palette.values(), key=lambda entry: entry[0]))
    return header + quads + colour + mask


def icon_file(palette, images):
    bitmaps = [bitmap(palette, size, rows) for size, rows in images]
    directory = struct.pack("<HHH", 0, 1, len(bitmaps))
    offset = len(directory) + 16 * len(bitmaps)
    entries = b""
    for (size, _), data in zip(images, bitmaps):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, PALETTE_SIZE, 0, 1, 4,
                               len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(bitmaps)


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_file(palette, images, size):
    """An 8-bit RGBA PNG of `size` pixels square."""
    fitting = [(image_size, rows) for image_size, rows in images if size % image_size == 0]
    if not fitting:
        raise SourceError(f"no image whose size divides {size}")
    image_size, rows = max(fitting, key=lambda entry: entry[0])
    factor = size // image_size
    scanlines = b""
    for row in rows:
        pixels = b""
        for char in row:
            if char == TRANSPARENT:
                pixel = bytes((0, 0, 0, 0))
            else:
                pixel = bytes(palette[char][1]) + b"\xff"
            pixels += pixel * factor
        scanlines += (b"\0" + pixels) * factor  # filter type 0 before each line
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(scanlines, 9)) + png_chunk(b"IEND", b""))


def main(argv):
    png_size = None
    if len(argv) == 5 and argv[1] == "--png" and argv[2].isdigit():
        png_size = int(argv[2])
        argv = [argv[0]] + argv[3:]
    if len(argv) != 3 or png_size == 0:
        sys.stderr.write("usage: make_icon.py SOURCE.txt OUTPUT.ico\n"
                         "       make_icon.py --png SIZE SOURCE.txt OUTPUT.png\n")
        return 2
    try:
        with open(argv[1], encoding="utf-8") as source:
            palette, images = parse(source.read())
        data = icon_file(palette, images) if png_size is None else png_file(palette, images,
                                                                              png_size)
    except SourceError as error:
        sys.stderr.write(f"{argv[1]}: {error}\n")
        return 1
    with open(argv[2], "wb") as output:
        output.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
