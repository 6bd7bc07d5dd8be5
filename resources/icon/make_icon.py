#!/usr/bin/env python3
"""Draws Sorabun's icon and writes it as a Windows .ico file.

The picture: a pair of beamed eighth notes (the MP3 file) on a blue tile,
with a red badge holding the hiragana "あ" (its tags turned into Japanese
text the system can read). Four images: 32 x 32 and 48 x 48, each with a
16-colour and a 256-colour palette. Only the standard library is used and
every step is deterministic, so running the script again gives the same
bytes: `make_icon.py sorabun.ico`.

`make_icon.py --copy sorabun_copy.ico` draws the copy window's icon: the
same picture on a green tile (the copies made for the car), so that the two
programs tell apart in Explorer and on the taskbar.
"""

import struct
import sys

# "あ" as coverage in tenths (0-9, "." for none), traced once from a Gothic
# font at the two badge sizes, so that no font is needed here.
GLYPH_LARGE = """
.....1.........
.....93........
....1921246....
.3777999864....
.143591..1.....
....38..48.....
....397898962..
...48822911592.
..5857.66...67.
.48137381...39.
.83.3993....39.
29..494.....77.
2946991...1692.
.575161.57972..
........452....
"""

GLYPH_SMALL = """
...11......
...35..1...
.4467677...
.3364121...
...544852..
..28547274.
.376272..81
18.565...62
44.66...181
37774..384.
.21111762..
"""

VGA_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

TILE_TOP = (30, 60, 230)
TILE_BOTTOM = (10, 30, 140)
TILE_EDGE = (0, 0, 96)
NOTE = (255, 255, 255)
BADGE = (222, 48, 36)
BADGE_RING = (255, 255, 255)
GLYPH = (255, 255, 255)

SUBSAMPLES = 4  # per axis, for smooth edges in the 256-colour images


def palette_256():
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += VGA_16
    colours += [(v, v, v) for v in range(8, 248, 10)]
    assert len(colours) == 256
    return colours


def parse_glyph(text):
    rows = [row for row in text.strip().splitlines()]
    return [[0.0 if c == "." else int(c) / 9.0 for c in row] for row in rows]


def inside_rounded_square(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius and left <= x <= right and top <= y <= bottom


def inside_ellipse(x, y, cx, cy, rx, ry, tilt):
    # Note heads lean up to the right, as engraved ones do.
    dx, dy = x - cx, y - cy
    u = dx + tilt * dy
    v = dy - tilt * dx
    return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0


def inside_quad(x, y, points):
    sign = 0
    for i in range(4):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % 4]
        cross = (bx - ax) * (y - ay) - (by - ay) * (x - ax)
        if cross != 0:
            if sign == 0:
                sign = 1 if cross > 0 else -1
            elif (cross > 0) != (sign > 0):
                return False
    return True


def note_shape(x, y):
    """Two beamed eighth notes in 48-unit coordinates."""
    heads = ((11.0, 28.0), (25.0, 24.0))
    for cx, cy in heads:
        if inside_ellipse(x, y, cx, cy, 5.2, 3.8, 0.35):
            return True
    stems = ((14.4, 9.0, 28.0), (28.4, 5.0, 24.0))
    for sx, top, bottom in stems:
        if sx <= x <= sx + 2.2 and top <= y <= bottom:
            return True
    beam = ((14.4, 9.0), (30.6, 5.0), (30.6, 10.0), (14.4, 14.0))
    return inside_quad(x, y, beam)


COPY_TILE_TOP = (40, 170, 70)
COPY_TILE_BOTTOM = (10, 90, 30)
COPY_TILE_EDGE = (0, 60, 16)
tile = {"top": TILE_TOP, "bottom": TILE_BOTTOM, "edge": TILE_EDGE}


def tile_colour(y):
    t = min(max((y - 2.0) / 44.0, 0.0), 1.0)
    return tuple(round(a + (b - a) * t) for a, b in zip(tile["top"], tile["bottom"]))


def glyph_coverage(glyph, x, y, left, top, cell):
    col = int((x - left) / cell)
    row = int((y - top) / cell)
    if 0 <= row < len(glyph) and 0 <= col < len(glyph[row]) and x >= left and y >= top:
        return glyph[row][col]
    return 0.0


def sample(x, y, glyph, size):
    """Colour and opacity of the picture at one point, in 48-unit space."""
    badge_cx, badge_cy, badge_r = 35.5, 35.5, 11.0
    distance = ((x - badge_cx) ** 2 + (y - badge_cy) ** 2) ** 0.5
    if distance <= badge_r:
        cell = 48.0 / size
        left = badge_cx - len(glyph[0]) * cell / 2
        top = badge_cy - len(glyph) * cell / 2
        # Thin strokes would vanish into the badge colour when quantised.
        cover = min(1.0, max(0.0, 2.0 * glyph_coverage(glyph, x, y, left, top, cell) - 0.2))
        colour = tuple(round(b + (g - b) * cover) for b, g in zip(BADGE, GLYPH))
        return colour, 1.0
    if distance <= badge_r + 1.6:
        return BADGE_RING, 1.0
    if note_shape(x, y):
        return NOTE, 1.0
    if inside_rounded_square(x, y, 2.0, 2.0, 46.0, 46.0, 7.0):
        if not inside_rounded_square(x, y, 3.2, 3.2, 44.8, 44.8, 6.0):
            return tile["edge"], 1.0
        return tile_colour(y), 1.0
    return (0, 0, 0), 0.0


def render(size, smooth):
    glyph = parse_glyph(GLYPH_LARGE if size >= 48 else GLYPH_SMALL)
    scale = 48.0 / size
    steps = SUBSAMPLES if smooth else 1
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            opacity = 0.0
            for sy in range(steps):
                for sx in range(steps):
                    x = (px + (sx + 0.5) / steps) * scale
                    y = (py + (sy + 0.5) / steps) * scale
                    colour, alpha = sample(x, y, glyph, size)
                    for i in range(3):
                        total[i] += colour[i] * alpha
                    opacity += alpha
            count = steps * steps
            if opacity == 0:
                row.append(((0, 0, 0), 0.0))
            else:
                row.append((tuple(round(c / opacity) for c in total), opacity / count))
        pixels.append(row)
    return pixels


def nearest(palette, colour):
    best, best_distance = 0, None
    for index, entry in enumerate(palette):
        d = sum((a - b) ** 2 for a, b in zip(entry, colour))
        if best_distance is None or d < best_distance:
            best, best_distance = index, d
    return best


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def icon_image(size, bits):
    palette = VGA_16 if bits == 4 else palette_256()
    pixels = render(size, smooth=(bits == 8))
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        indices, mask = [], []
        for colour, alpha in row:
            opaque = alpha >= 0.5
            indices.append(nearest(palette, colour) if opaque else 0)
            mask.append(0 if opaque else 1)
        if bits == 4:
            packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            packed = bytes(indices)
        xor_rows.append(padded(packed))
        mask_bytes = bytes(
            sum(mask[i + b] << (7 - b) for b in range(8)) for i in range(0, size, 8)
        )
        and_rows.append(padded(mask_bytes))
    xor_data = b"".join(xor_rows)
    and_data = b"".join(and_rows)
    header = struct.pack(
        "<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor_data) + len(and_data),
        0, 0, 0, 0,
    )
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colour_table + xor_data + and_data


def icon_file():
    images = [(size, bits, icon_image(size, bits)) for size in (32, 48) for bits in (4, 8)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        colour_count = 16 if bits == 4 else 0
        entries += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main():
    arguments = sys.argv[1:]
    if arguments[:1] == ["--copy"]:
        tile.update(top=COPY_TILE_TOP, bottom=COPY_TILE_BOTTOM, edge=COPY_TILE_EDGE)
        arguments = arguments[1:]
    if len(arguments) != 1:
        sys.stderr.write("usage: make_icon.py [--copy] OUTPUT.ico\n")
        return 2
    with open(arguments[0], "wb") as out:
        out.write(icon_file())
    return 0


if __name__ == "__main__":
    sys.exit(main())
