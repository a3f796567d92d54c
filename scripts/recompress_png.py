#!/usr/bin/env python3
"""Copies a PNG with its image data compressed at zlib's best level (the
project's encoder writes stored blocks, fast but large).
Usage: recompress_png.py IN.png OUT.png"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(source + ": not a PNG")
    chunks, idat, at = [], b"", 8
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IDAT":
            idat += body
        else:
            chunks.append((kind, body))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    pixels = zlib.compress(zlib.decompress(idat), 9)
    out = b"\x89PNG\r\n\x1a\n"
    for kind, body in chunks:
        if kind == b"IEND":
            out += chunk(b"IDAT", pixels)
        out += chunk(kind, body)
    with open(target, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
