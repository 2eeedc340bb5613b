#!/usr/bin/python3
"""Draws Kestrova's own bitmaps into resources/images/.

The images are plain geometry (gradients, discs, arcs and a small pixel font),
so they are drawn here rather than kept only as binary files. The PNG files
are committed; run this script again after changing a drawing. The leading
number of each file name is the image's resource id.
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")
SUPER = 4  # samples per pixel and axis for anti-aliased edges


def write_png(path, width, height, pixels, alpha):
    """pixels: rows of (r, g, b, a) tuples; alpha False writes 24-bit RGB."""
    channels = 4 if alpha else 3
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a) if alpha else (r, g, b))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))
    assert channels in (3, 4)


def blend(dst, src):
    """Source-over of two straight-alpha colours, components 0..255."""
    sa = src[3] / 255.0
    da = dst[3] / 255.0
    oa = sa + da * (1 - sa)
    if oa == 0:
        return (0, 0, 0, 0)
    out = []
    for i in range(3):
        out.append(round((src[i] * sa + dst[i] * da * (1 - sa)) / oa))
    out.append(round(oa * 255))
    return tuple(out)


def coverage(inside, x, y):
    """Fraction of pixel (x, y) for which inside(px, py) holds."""
    hits = 0
    for sy in range(SUPER):
        for sx in range(SUPER):
            if inside(x + (sx + 0.5) / SUPER, y + (sy + 0.5) / SUPER):
                hits += 1
    return hits / (SUPER * SUPER)


def fill_shape(img, x0, y0, w, h, inside, colour):
    """colour: (r, g, b) or a function (px, py) -> (r, g, b)."""
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            c = coverage(inside, x, y)
            if c > 0:
                rgb = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                img[y][x] = blend(img[y][x], (rgb[0], rgb[1], rgb[2], round(255 * c)))


def rounded_rect(left, top, right, bottom, radius):
    def inside(px, py):
        if px < left or px > right or py < top or py > bottom:
            return False
        cx = min(max(px, left + radius), right - radius)
        cy = min(max(py, top + radius), bottom - radius)
        return (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius

    return inside


def disc(cx, cy, r):
    return lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def quarter_ring(cx, cy, r_in, r_out):
    """The ring between two radii in the quadrant up and right of (cx, cy)."""

    def inside(px, py):
        if px < cx or py > cy:
            return False
        d2 = (px - cx) ** 2 + (py - cy) ** 2
        return r_in * r_in <= d2 <= r_out * r_out

    return inside


def canvas(w, h, rgba=(0, 0, 0, 0)):
    return [[rgba for _ in range(w)] for _ in range(h)]


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def feed_symbol(img, x0, y0, size, back_top, back_bottom):
    """An orange rounded square with the white dot and two arcs of a feed."""
    s = size / 16.0

    def gradient(px, py):
        return mix(back_top, back_bottom, (py - y0) / size)

    fill_shape(img, x0, y0, size, size, rounded_rect(x0 + 0.5 * s, y0 + 0.5 * s, x0 + size - 0.5 * s,
                                                       y0 + size - 0.5 * s, 3 * s), gradient)
    white = (255, 255, 255)
    bx, by = x0 + 4.2 * s, y0 + size - 4.2 * s
    fill_shape(img, x0, y0, size, size, disc(bx, by, 1.7 * s), white)
    fill_shape(img, x0, y0, size, size, quarter_ring(bx - 1.2 * s, by + 1.2 * s, 4.6 * s, 6.6 * s), white)
    fill_shape(img, x0, y0, size, size, quarter_ring(bx - 1.2 * s, by + 1.2 * s, 8.2 * s, 10.2 * s), white)


def shaded_dot(img, x0, y0, size, light, dark):
    """A disc lit from the upper left, with a thin darker rim."""
    cx, cy, r = x0 + size / 2.0, y0 + size / 2.0, size * 0.36

    def shade(px, py):
        d = math.hypot(px - (cx - r * 0.35), py - (cy - r * 0.35)) / (r * 1.6)
        return mix(light, dark, min(1.0, d))

    fill_shape(img, x0, y0, size, size, disc(cx, cy, r + 0.8), mix(dark, (0, 0, 0), 0.25))
    fill_shape(img, x0, y0, size, size, disc(cx, cy, r), shade)


# A 5 by 7 pixel font, only the letters the skin needs.
GLYPHS = {
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110"],
    "s": ["00000", "00000", "01111", "10000", "01110", "00001", "11110"],
    "t": ["01000", "01000", "11100", "01000", "01000", "01001", "00110"],
    "r": ["00000", "00000", "10110", "11001", "10000", "10000", "10000"],
    "o": ["00000", "00000", "01110", "10001", "10001", "10001", "01110"],
    "v": ["00000", "00000", "10001", "10001", "10001", "01010", "00100"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
}


def pixel_text(img, x0, y0, text, scale, colour):
    x = x0
    for ch in text:
        rows = GLYPHS[ch]
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            img[y0 + gy * scale + dy][x + gx * scale + dx] = colour + (255,)
        x += 6 * scale


def draw_app_icon():
    img = canvas(32, 32)
    feed_symbol(img, 0, 0, 32, (255, 170, 60), (224, 96, 16))
    write_png(os.path.join(OUT, "128-kestrova.png"), 32, 32, img, alpha=True)


def draw_notifier_skin():
    w, h = 203, 163
    img = canvas(w, h, (255, 255, 255, 255))
    body_top, body_bottom = (246, 248, 252), (214, 222, 236)
    for y in range(h):
        for x in range(w):
            img[y][x] = mix(body_top, body_bottom, y / (h - 1)) + (255,)
    # Header band with the product name, footer band below the text area.
    head_top, head_bottom = (52, 84, 140), (30, 56, 104)
    for y in range(34):
        for x in range(w):
            img[y][x] = mix(head_top, head_bottom, y / 33) + (255,)
    for x in range(w):
        img[34][x] = (240, 150, 40, 255)
        img[35][x] = (240, 150, 40, 255)
    for y in range(h - 18, h):
        for x in range(w):
            img[y][x] = mix((200, 210, 228), (176, 188, 210), (y - (h - 18)) / 17) + (255,)
    feed_symbol(img, 8, 9, 16, (255, 170, 60), (224, 96, 16))
    pixel_text(img, 32, 10, "Kestrova", 2, (255, 255, 255))
    # One-pixel frame so the window stands out on any background.
    for x in range(w):
        img[0][x] = img[h - 1][x] = (20, 36, 70, 255)
    for y in range(h):
        img[y][0] = img[y][w - 1] = (20, 36, 70, 255)
    write_png(os.path.join(OUT, "179-notifier-skin.png"), w, h, img, alpha=False)


def draw_feed_indicator():
    img = canvas(48, 16)
    feed_symbol(img, 0, 0, 16, (255, 170, 60), (224, 96, 16))
    shaded_dot(img, 16, 0, 16, (150, 240, 130), (24, 150, 40))
    shaded_dot(img, 32, 0, 16, (235, 235, 235), (128, 128, 128))
    write_png(os.path.join(OUT, "248-feed-indicator.png"), 48, 16, img, alpha=True)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    draw_app_icon()
    draw_notifier_skin()
    draw_feed_indicator()
