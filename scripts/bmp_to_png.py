#!/usr/bin/env python3
"""Turns a 32-bit bottom-up BMP (the program's layout picture) into a PNG
and prints the picture's height. Usage: bmp_to_png.py IN.bmp OUT.png"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    width, height = struct.unpack("<ii", data[18:26])
    rows = []
    for y in range(height):  # bottom-up BGRA rows to top-down RGB
        row = data[54 + (height - 1 - y) * width * 4: 54 + (height - y) * width * 4]
        rows.append(b"\0" + bytes(c for i in range(0, len(row), 4) for c in (row[i + 2], row[i + 1], row[i])))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(target, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))
    print(height)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
