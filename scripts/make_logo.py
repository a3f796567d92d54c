#!/usr/bin/env python3
"""Draws the program's logo, ZELMAR_LOGO.png: a blue tile with a white trend
line, and the name in geometric strokes. Written at build time, so the
picture in the About window and the installer is always this drawing.

    make_logo.py OUTPUT.png [HEIGHT]

Every shape is a set of round-capped strokes or a rounded rectangle; a
pixel's coverage comes from its distance to the nearest edge, which
antialiases without supersampling.
"""
import math
import struct
import sys
import zlib

BLUE = (0x15, 0x65, 0xC0)
INK = (0x1C, 0x1E, 0x22)
WHITE = (0xFF, 0xFF, 0xFF)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def arc(cx, cy, r, start, end, steps=10):
    """Points of an arc, angles in degrees (y grows downwards)."""
    return [(cx + r * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + r * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]


def polyline(points):
    return [(points[i], points[i + 1]) for i in range(len(points) - 1)]


def letters(cap, gap):
    """The name's strokes, in units of the cap height, left to right."""
    w = 0.62 * cap
    strokes = []
    x = 0.0

    def add(shape, width):
        nonlocal x
        strokes.extend(((ax + x, ay), (bx + x, by)) for (ax, ay), (bx, by) in shape)
        x += width + gap

    h = cap
    add(polyline([(0, 0), (w, 0), (0, h), (w, h)]), w)  # Z
    add(polyline([(w * 0.9, 0), (0, 0), (0, h), (w * 0.9, h)]) + [((0, h / 2), (w * 0.75, h / 2))], w * 0.9)  # E
    add(polyline([(0, 0), (0, h), (w * 0.85, h)]), w * 0.85)  # L
    add(polyline([(0, h), (0, 0), (w * 0.55, h * 0.62), (w * 1.1, 0), (w * 1.1, h)]), w * 1.1)  # M
    add(polyline([(0, h), (w * 0.5, 0), (w, h)]) + [((w * 0.2, h * 0.66), (w * 0.8, h * 0.66))], w)  # A
    bowl = [(0, 0), (w * 0.55, 0)] + arc(w * 0.55, h * 0.26, h * 0.26, -90, 90)[1:] + [(0, h * 0.52)]
    add(polyline([(0, h), (0, 0)]) + polyline(bowl) + [((w * 0.45, h * 0.52), (w * 0.95, h))], w * 0.95)  # R
    return strokes, x - gap


def draw(height):
    scale = height / 120.0
    tile = 120 * scale
    radius = 24 * scale
    cap = 58 * scale
    stroke = 10.5 * scale
    name, name_width = letters(cap, 16 * scale)
    name_left = tile + 30 * scale
    name_top = (height - cap) / 2
    width = int(math.ceil(name_left + name_width + stroke + 4 * scale))
    trend = polyline([(p[0] * scale, p[1] * scale) for p in
                      [(22, 80), (40, 80), (52, 44), (66, 92), (80, 36), (90, 58), (98, 58)]])
    trend_half = 5.5 * scale
    name_half = stroke / 2
    name = [((ax + name_left, ay + name_top), (bx + name_left, by + name_top)) for (ax, ay), (bx, by) in name]

    rows = []
    for y in range(int(height)):
        row = bytearray()
        py = y + 0.5
        for x in range(width):
            px = x + 0.5
            r = g = b = a = 0.0
            # The tile: a rounded square, its edge antialiased.
            if px < tile + 1:
                qx = max(abs(px - tile / 2) - (tile / 2 - radius), 0.0)
                qy = max(abs(py - tile / 2) - (tile / 2 - radius), 0.0)
                inside = max(0.0, min(1.0, radius - math.hypot(qx, qy) + 0.5))
                if inside > 0:
                    line = max(0.0, min(1.0, trend_half + 0.5 - min(
                        segment_distance(px, py, ax, ay, bx, by) for (ax, ay), (bx, by) in trend)))
                    cr = BLUE[0] + (WHITE[0] - BLUE[0]) * line
                    cg = BLUE[1] + (WHITE[1] - BLUE[1]) * line
                    cb = BLUE[2] + (WHITE[2] - BLUE[2]) * line
                    r, g, b, a = cr, cg, cb, inside
            elif name_top - stroke <= py <= name_top + cap + stroke:
                coverage = max(0.0, min(1.0, name_half + 0.5 - min(
                    segment_distance(px, py, ax, ay, bx, by) for (ax, ay), (bx, by) in name)))
                r, g, b, a = INK[0], INK[1], INK[2], coverage
            row += bytes((int(round(r)), int(round(g)), int(round(b)), int(round(a * 255))))
        rows.append(bytes(row))
    return width, int(height), rows


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    height = int(sys.argv[2]) if len(sys.argv) == 3 else 160
    with open(sys.argv[1], "wb") as out:
        out.write(png(*draw(height)))


if __name__ == "__main__":
    main()
