#!/usr/bin/env python3
"""Makes the installer's icon (icon resource 145) from the skin's logo.

    make_icon.py <logo.png> <output.ico>

The logo is a wide banner whose mark sits at its left end: the square at the
left, scaled to 16 and 32 pixels, becomes a two-image icon. Only the standard
library: the build machine needs nothing beyond python3.
"""
import struct
import sys
import zlib


def read_png_rgba(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        raise SystemExit(f"{path}: only 8-bit RGBA without interlacing is read")
    raw = zlib.decompress(idat)
    stride, rows, previous = width * 4, [], bytearray(width * 4)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            corner = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[x] = (line[x] + predictor) & 0xFF
        rows.append(line)
        previous = line
    return width, height, rows


def icon_image(rows, square, size):
    """The left square of the logo, scaled to size x size, as an icon's DIB."""
    pixels = bytearray()
    for y in reversed(range(size)):  # bottom-up
        source = rows[y * square // size]
        for x in range(size):
            r, g, b, a = source[(x * square // size) * 4:(x * square // size) * 4 + 4]
            pixels += bytes((b, g, r, a))
    mask = bytes(((size + 31) // 32) * 4 * size)  # the alpha channel decides
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(pixels) + mask


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    width, height, rows = read_png_rgba(sys.argv[1])
    square = min(width, height)
    images = [(size, icon_image(rows, square, size)) for size in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(image for _, image in images)
    with open(sys.argv[2], "wb") as file:
        file.write(out)


if __name__ == "__main__":
    main()
