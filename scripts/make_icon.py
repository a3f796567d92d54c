#!/usr/bin/env python3
"""Draws the program's icon - a handheld meter with a green display showing
a trend line, a dial and two probe jacks - and writes it as a Windows .ico
holding every size the shell asks for (16 to 256 pixels; 256 as PNG).

Usage: make_icon.py OUTPUT.ico [PREVIEW.png]

Shapes are signed-distance functions in a 0..1 square, sampled 4 x 4 per
pixel, so every size is drawn from the same drawing instead of scaled."""

import math
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SAMPLES = 4


def rounded_rect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
        return outside + min(max(dx, dy), 0.0) - r
    return sdf


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, w):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - w / 2


def polyline(points, w):
    def sdf(x, y):
        best = 1e9
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            vx, vy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
            best = min(best, math.hypot(x - ax - t * vx, y - ay - t * vy))
        return best - w / 2
    return sdf


def hex_rgb(h):
    return ((h >> 16) & 255, (h >> 8) & 255, h & 255)


# Back to front: (shape, colour).
LAYERS = [
    (rounded_rect(0.14, 0.03, 0.86, 0.97, 0.11), hex_rgb(0x1C1E22)),       # outline
    (rounded_rect(0.17, 0.06, 0.83, 0.94, 0.085), hex_rgb(0xF2A900)),      # rubber holster
    (rounded_rect(0.22, 0.11, 0.78, 0.89, 0.06), hex_rgb(0x2E3440)),       # body
    (rounded_rect(0.27, 0.16, 0.73, 0.45, 0.035), hex_rgb(0xC9DDB8)),      # display
    (polyline([(0.31, 0.37), (0.40, 0.29), (0.49, 0.34), (0.58, 0.22), (0.69, 0.27)], 0.045),
     hex_rgb(0x1E2A1A)),                                                   # trend on the display
    (ring(0.50, 0.62, 0.105, 0.045), hex_rgb(0xD8DCE2)),                   # dial
    (polyline([(0.50, 0.62), (0.57, 0.55)], 0.04), hex_rgb(0xD8DCE2)),     # dial pointer
    (circle(0.36, 0.81, 0.045), hex_rgb(0x101214)),                        # COM jack
    (circle(0.64, 0.81, 0.045), hex_rgb(0xD32F2F)),                        # V jack
]


def render(size):
    """Rows of (r, g, b, a) for a size x size picture."""
    rows = []
    n = SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    r = g = b = a = 0.0
                    for shape, colour in LAYERS:
                        if shape(x, y) <= 0:
                            r, g, b = colour
                            a = 1.0
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if alpha > 0:
                row.append(tuple(round(acc[i] / acc[3]) for i in range(3)) + (round(alpha * 255),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """A 32-bit icon bitmap: header with doubled height, BGRA bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(rows) if size >= 256 else dib(rows)))
        if size == 256 and len(sys.argv) == 3:
            with open(sys.argv[2], "wb") as preview:
                preview.write(png(rows))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
