#!/usr/bin/env python3
"""Draws the program's icons into .ico files at build time, so no artwork is kept in the
repository: the logo (a rounded blue square with the letters "VZ", as the Linux window draws
it) and the refresh arrow of the cache-refresh button.

Usage: draw_icons.py LOGO.ico REFRESH.ico
"""
import math
import struct
import sys
import zlib

LOGO_SIZES = [16, 20, 24, 32, 40, 48, 64, 72, 96, 128, 256]
REFRESH_SIZES = [16, 20, 24, 32, 40, 48]
PNG_FROM = 64  # larger entries are stored as PNG, which keeps the file small


def coverage(size, inside, samples):
    """Per-pixel fraction of sub-samples for which inside(x, y) holds."""
    step = 1.0 / samples
    offsets = [(i + 0.5) * step for i in range(samples)]
    total = samples * samples
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = 0
            for oy in offsets:
                for ox in offsets:
                    if inside(px + ox, py + oy):
                        hits += 1
            row.append(hits / total)
        rows.append(row)
    return rows


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width


def blend(dst, color, alpha):
    """Source-over of a straight-alpha colour onto a straight-alpha pixel."""
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0:
        return (0, 0, 0, 0.0)
    mix = lambda s, d: (s * alpha + d * a * (1 - alpha)) / out_a
    return (mix(color[0], r), mix(color[1], g), mix(color[2], b), out_a)


def draw_logo(size):
    s = float(size)
    radius = s * 0.22
    samples = 4 if size <= 48 else 3
    body = coverage(size, lambda x, y: in_rounded_rect(x, y, 0, 0, s, s, radius), samples)
    half = max(0.6, s * 0.045)
    top, bottom = s * 0.29, s * 0.71
    v = [((s * 0.15, top), (s * 0.32, bottom)), ((s * 0.32, bottom), (s * 0.49, top))]
    z = [((s * 0.55, top), (s * 0.85, top)), ((s * 0.85, top), (s * 0.55, bottom)),
         ((s * 0.55, bottom), (s * 0.85, bottom))]
    strokes = v + z
    letters = coverage(size, lambda x, y: any(near_segment(x, y, a, b, half) for a, b in strokes),
                       samples)
    start, end = (0x2F, 0x6F, 0xD6), (0x1B, 0x3F, 0x8F)
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            t = ((px + 0.5) + (py + 0.5)) / (2 * s)
            color = tuple(start[i] + (end[i] - start[i]) * t for i in range(3))
            p = (color[0], color[1], color[2], body[py][px])
            if py < size / 2 and p[3] > 0:  # the light sweep over the upper half
                lit = blend(p, (255, 255, 255), 28 / 255)
                p = (lit[0], lit[1], lit[2], p[3])
            p = blend(p, (255, 255, 255), letters[py][px] * body[py][px])
            row.append(p)
        pixels.append(row)
    return pixels


def draw_refresh(size):
    s = float(size)
    cx = cy = s / 2
    ring = s * 0.31
    half = max(0.7, s * 0.06)
    gap_start, gap_end = math.radians(0), math.radians(62)  # open at the upper right

    def on_arc(x, y):
        dx, dy = x - cx, cy - y  # y up
        d = math.hypot(dx, dy)
        if abs(d - ring) > half:
            return False
        angle = math.atan2(dy, dx) % (2 * math.pi)
        return not (gap_start < angle < gap_end)

    a = math.radians(-6)
    u = (math.cos(a), math.sin(a))
    v = (-math.sin(a), math.cos(a))
    px, py = cx + ring * u[0], cy - ring * u[1]
    w, h = half * 2.6, half * 3.6
    tri = [(px + u[0] * w, py - u[1] * w), (px - u[0] * w, py + u[1] * w),
           (px + v[0] * h, py - v[1] * h)]

    def in_triangle(x, y):
        def side(p, q):
            return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
        s1, s2, s3 = side(tri[0], tri[1]), side(tri[1], tri[2]), side(tri[2], tri[0])
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)

    cover = coverage(size, lambda x, y: on_arc(x, y) or in_triangle(x, y), 4)
    return [[(0x1F, 0x1F, 0x1F, cover[y][x]) for x in range(size)] for y in range(size)]


def bgra_rows(pixels):
    out = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b, a in row:
            out += bytes((int(round(b)), int(round(g)), int(round(r)), int(round(a * 255))))
    return bytes(out)


def bmp_entry(pixels):
    size = len(pixels)
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, size * size * 4, 0, 0, 0, 0)
    return header + bgra_rows(pixels) + bytes(mask_row * size)


def png_entry(pixels):
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((int(round(r)), int(round(g)), int(round(b)), int(round(a * 255))))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_ico(path, sizes, draw):
    images = []
    for size in sizes:
        pixels = draw(size)
        images.append((size, png_entry(pixels) if size >= PNG_FROM else bmp_entry(pixels)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_ico(sys.argv[1], LOGO_SIZES, draw_logo)
    write_ico(sys.argv[2], REFRESH_SIZES, draw_refresh)


if __name__ == "__main__":
    main()
