#!/usr/bin/env python3
"""Copies a skin folder for packing, with the frames of its animations stored
rather than deflated.

    skin_frames.py <skin folder> <staging folder>

A folder that holds at least MIN_FRAMES PNG images of one size is taken for
the frames of an animation. Neighbouring frames differ little, but each
frame's own deflate stream hides that from the archive's solid LZMA2 block;
stored (zlib level 0) the frames' pixels are plain bytes and the archive
finds what they share. The pixels do not change: the image data is inflated
and written again as it was filtered, only without compression. Every other
file, and any PNG this script cannot read, is copied unchanged.
"""
import os
import shutil
import struct
import sys
import zlib

MIN_FRAMES = 8
SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunks(data):
    """The (type, body) chunks of a PNG file, or None when it is not one."""
    if not data.startswith(SIGNATURE):
        return None
    found, pos = [], len(SIGNATURE)
    while pos + 12 <= len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if len(body) != length or data[pos + 8 + length:pos + 12 + length] != struct.pack(
                ">I", zlib.crc32(kind + body) & 0xFFFFFFFF):
            return None
        found.append((kind, body))
        pos += 12 + length
        if kind == b"IEND":
            return found if pos == len(data) else None
    return None


def header(data):
    """The IHDR body: size, bit depth, colour type, and the rest."""
    parts = chunks(data)
    return parts[0][1] if parts and parts[0][0] == b"IHDR" else None


def stored(data):
    """The same PNG with its image data in stored deflate blocks, or None."""
    parts = chunks(data)
    if not parts:
        return None
    try:
        pixels = zlib.decompress(b"".join(body for kind, body in parts if kind == b"IDAT"))
    except zlib.error:
        return None
    out, written = bytearray(SIGNATURE), False
    for kind, body in parts:
        if kind == b"IDAT":
            if written:
                continue
            body, written = zlib.compress(pixels, 0), True
        out += struct.pack(">I", len(body)) + kind + body
        out += struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    return bytes(out) if written else None


def main(source, staging):
    if os.path.exists(staging):
        shutil.rmtree(staging)
    for folder, _, names in os.walk(source):
        target = os.path.join(staging, os.path.relpath(folder, source))
        os.makedirs(target, exist_ok=True)
        contents = {name: open(os.path.join(folder, name), "rb").read() for name in names}
        headers = {name: header(data) for name, data in contents.items()
                   if name.lower().endswith(".png")}
        sizes = {h[:8] for h in headers.values() if h}
        frames = len(headers) >= MIN_FRAMES and len(sizes) == 1 and all(headers.values())
        for name, data in contents.items():
            if frames and name in headers:
                data = stored(data) or data
            with open(os.path.join(target, name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: skin_frames.py <skin folder> <staging folder>")
    main(sys.argv[1], sys.argv[2])
