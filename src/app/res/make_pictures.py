#!/usr/bin/env python3
"""Draws the program's pictures: the button bitmaps and the splash bitmap at
100, 150 and 200 %, and the two icons with the sizes of those scales. Run by the build: make_pictures.py OUTPUT_FOLDER.

Everything is drawn here from shapes, so the pictures are the project's own
and can be changed by editing this file.
"""
import math
import os
import struct
import sys

# The 16 colours of the standard VGA palette. LR_LOADMAP3DCOLORS maps silver
# (the button background) and grey to the user's 3-D colours.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, NAVY, SILVER, GREY, LIME, WHITE = 0, 2, 4, 7, 8, 10, 15


def bmp_bytes(width, height, bits, palette, rows):
    """A Windows bitmap file; rows are lists of palette indices, top row first."""
    stride = ((width * bits + 31) // 32) * 4
    body = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, index in enumerate(row):
            if bits == 8:
                line[x] = index
            else:  # 4 bits, high nibble first
                line[x // 2] |= index << 4 if x % 2 == 0 else index
        body += line
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 2835, 2835,
                       len(palette), 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info + colours + bytes(body)


def ico_bytes(images):
    """An icon file from (size, pixels) pairs; pixels are (r, g, b, a) rows, top first."""
    blobs = []
    for size, pixels in images:
        xor = bytearray()
        for row in reversed(pixels):
            for (r, g, b, a) in row:
                xor += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(pixels):
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                           0, 0, 0, 0)
        blobs.append((size, info + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in blobs:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, blob in blobs:
        out += blob
    return out


# The scales the program is drawn at (percent of 96 DPI) and the file-name
# suffix of each; the program takes the nearest for its window's DPI.
SCALES = [(100, ""), (150, "_150"), (200, "_200")]


def pixel_to_unit(pixel, scale):
    """The 100 % coordinate of a pixel's centre at a scale; the pixel itself at 100 %."""
    return (pixel + 0.5) / scale - 0.5


def line_width(scale):
    """Edges, grid lines and frames: one pixel at 100 %, whole pixels above."""
    return max(1, int(scale))


# --- the button pictures (32 x 24 at 100 %) ----------------------------------

W, H = 32, 24

# The shapes take 100 % coordinates, so each scale draws them from the same
# outline rather than stretching the small picture.


def triangle(x, y):
    # Pointing right, centred: (11, 5) - (11, 18) - (22, 11.5).
    if x < 11 or x > 22:
        return False
    half = 6.5 * (22.5 - x) / 11.5
    return abs(y + 0.5 - 12.0) <= half


def square(x, y):
    return 10 <= x <= 21 and 6 <= y <= 17


def plus(x, y):
    return (14 <= x <= 17 and 5 <= y <= 18) or (9 <= x <= 22 and 10 <= y <= 13)


def minus(x, y):
    return 9 <= x <= 22 and 10 <= y <= 13


def scaled_size(scale):
    return round(W * scale), round(H * scale)


def mask(shape, scale):
    width, height = scaled_size(scale)
    return [[shape(pixel_to_unit(x, scale), pixel_to_unit(y, scale)) for x in range(width)]
            for y in range(height)]


def button(shape, fill, edge, scale=1):
    inside = mask(shape, scale)
    height, width = len(inside), len(inside[0])
    edge_width = line_width(scale)

    def at(x, y):
        return 0 <= x < width and 0 <= y < height and inside[y][x]

    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if inside[y][x]:
                inner = all(at(x + dx * d, y + dy * d) for d in range(1, edge_width + 1)
                            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                row.append(fill if inner else edge)
            else:
                row.append(SILVER)
        rows.append(row)
    return rows


def greyed(shape, scale=1):
    # The usual disabled look: the shape in grey over a white copy one line
    # width down and right.
    inside = mask(shape, scale)
    height, width = len(inside), len(inside[0])
    offset = line_width(scale)
    rows = [[SILVER] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if inside[y][x] and x + offset < width and y + offset < height:
                rows[y + offset][x + offset] = WHITE
    for y in range(height):
        for x in range(width):
            if inside[y][x]:
                rows[y][x] = GREY
    return rows


BUTTONS = [
    ("play", lambda scale: button(triangle, LIME, DARK_GREEN, scale)),
    ("stop", lambda scale: button(square, BLACK, BLACK, scale)),
    ("increase", lambda scale: button(plus, NAVY, NAVY, scale)),
    ("decrease", lambda scale: button(minus, NAVY, NAVY, scale)),
    ("play_grey", lambda scale: greyed(triangle, scale)),
    ("stop_grey", lambda scale: greyed(square, scale)),
    ("increase_grey", lambda scale: greyed(plus, scale)),
    ("decrease_grey", lambda scale: greyed(minus, scale)),
]


# --- the splash picture (340 x 198 at 100 %, 256 colours) --------------------

SW, SH = 340, 198


def splash(scale=1):
    # Entries 0-127: the background, a vertical run from deep blue to night
    # blue; 128-131: the three traces and the grid.
    palette = [(int(10 + 20 * t), int(30 + 50 * t), int(90 + 110 * t))
               for t in (i / 127 for i in range(128))]
    palette += [(90, 240, 120), (250, 210, 60), (90, 220, 250), (70, 110, 170), (255, 255, 255)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    GRID, WHITE_I = 131, 132
    width, height = round(SW * scale), round(SH * scale)
    thin = line_width(scale)
    dots = round(4 * scale)
    rows = [[127 - (y * 127) // (height - 1)] * width for y in range(height)]
    for y0 in range(12, SH - 12, 24):
        for y in range(round(y0 * scale), round(y0 * scale) + thin):
            for x in range(width):
                if x % dots < thin:
                    rows[y][x] = GRID
    for x0 in range(10, SW, 40):
        for x in range(round(x0 * scale), min(width, round(x0 * scale) + thin)):
            for y in range(height):
                if y % dots < thin:
                    rows[y][x] = GRID
    # A sine, a square and a rising sweep, drawn three pixels thick at 100 %.
    def sine(x):
        return 60 + 34 * math.sin(2 * math.pi * x / 85.0)

    def squarewave(x):
        return 116 + (-16 if (x // 34) % 2 == 0 else 16)

    def sweep(x):
        return 165 + 18 * math.sin(2 * math.pi * (x / 340.0) * (1 + 6 * x / 340.0) * 2)

    trace = round(3 * scale)
    above = (trace - 1) // 2
    for colour, curve in ((128, sine), (129, squarewave), (130, sweep)):
        previous = curve(0) * scale
        for x in range(width):
            current = curve(x / scale) * scale
            low, high = sorted((previous, current))
            for y in range(int(low) - above, int(high) + trace - above):
                if 0 <= y < height:
                    rows[y][x] = colour
            previous = current
    # A thin white frame.
    for x in range(width):
        for t in range(thin):
            rows[t][x] = rows[height - 1 - t][x] = WHITE_I
    for y in range(height):
        for t in range(thin):
            rows[y][t] = rows[y][width - 1 - t] = WHITE_I
    return palette, rows


# --- the icons: a green sine on a dark blue tile -----------------------------

def icon(size):
    pixels = []
    margin = size / 16.0
    radius = size / 5.0
    thickness = max(1.6, size / 9.0)
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            # Rounded tile.
            dx = max(margin + radius - cx, 0, cx - (size - margin - radius))
            dy = max(margin + radius - cy, 0, cy - (size - margin - radius))
            if dx * dx + dy * dy > radius * radius:
                row.append((0, 0, 0, 0))
                continue
            # One full period of a sine across the tile.
            t = (cx - 2 * margin) / (size - 4 * margin)
            wave = size / 2.0 - (size * 0.28) * math.sin(2 * math.pi * t)
            if 0.0 <= t <= 1.0 and abs(cy - wave) <= thickness / 2.0 + 0.35:
                row.append((70, 235, 90, 255))
            else:
                row.append((20, 45, 120, 255))
        pixels.append(row)
    return pixels


# The sizes Windows asks for at 100, 150 and 200 %; the first of each file is
# the one the program has always had.
LARGE_ICON_SIZES = [32, 16, 48, 64, 24]
SMALL_ICON_SIZES = [16, 24, 32]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    for percent, suffix in SCALES:
        scale = percent / 100
        for name, draw in BUTTONS:
            rows = draw(scale)
            with open(os.path.join(out, name + suffix + ".bmp"), "wb") as f:
                f.write(bmp_bytes(len(rows[0]), len(rows), 4, VGA, rows))
        palette, rows = splash(scale)
        with open(os.path.join(out, "splash" + suffix + ".bmp"), "wb") as f:
            f.write(bmp_bytes(len(rows[0]), len(rows), 8, palette, rows))
    with open(os.path.join(out, "tone.ico"), "wb") as f:
        f.write(ico_bytes([(size, icon(size)) for size in LARGE_ICON_SIZES]))
    with open(os.path.join(out, "tone_small.ico"), "wb") as f:
        f.write(ico_bytes([(size, icon(size)) for size in SMALL_ICON_SIZES]))


if __name__ == "__main__":
    main()
