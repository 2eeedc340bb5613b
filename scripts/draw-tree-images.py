#!/usr/bin/python3
"""Draws bitmap 131, the strip of 20 images of 16 by 16 pixels that the
subscription tree and the item list share, into resources/images/.

Image i lies at x = 16 * i. Run again after changing a drawing; the PNG file
is committed. The helpers come from draw-images.py.
"""
import importlib.util
import os

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("draw_images", os.path.join(HERE, "draw-images.py"))
d = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(d)

ORANGE = ((255, 170, 60), (224, 96, 16))
PAPER, EDGE = (252, 252, 252), (96, 104, 120)
YELLOW, YELLOW_DARK = (250, 204, 80), (196, 140, 24)
BLUE, GREY, RED, GREEN = (40, 100, 210), (150, 150, 150), (200, 40, 40), (40, 150, 60)


def rect(x0, y0, x1, y1):
    return lambda px, py: x0 <= px <= x1 and y0 <= py <= y1


def poly(points):
    """Inside test of a convex or simple polygon (even-odd rule)."""
    def inside(px, py):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > py) != (by > py) and px < (bx - ax) * (py - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def fill(img, x0, inside, colour):
    d.fill_shape(img, x0, 0, 16, 16, lambda px, py: inside(px - x0, py), colour)


def document(img, x0, lines):
    fill(img, x0, rect(2.5, 0.5, 13.5, 15.5), EDGE)
    fill(img, x0, rect(3.5, 1.5, 12.5, 14.5), PAPER)
    for y in (4, 7, 10):
        fill(img, x0, rect(5, y, 11, y + 1), lines)


def kept_mark(img, x0):
    # A red pin in the upper right corner: the item is kept.
    fill(img, x0, d.disc(12, 4, 3.2), (120, 10, 10))
    fill(img, x0, d.disc(12, 4, 2.4), RED)


def folder(img, x0, open_):
    fill(img, x0, rect(0.5, 3.5, 6.5, 5.5), YELLOW_DARK)
    fill(img, x0, rect(0.5, 4.5, 15.5, 14.5), YELLOW_DARK)
    fill(img, x0, rect(1.5, 5.5, 14.5, 13.5), YELLOW)
    if open_:
        fill(img, x0, poly([(3, 8), (16, 8), (13.5, 14.5), (0.5, 14.5)]), (255, 226, 130))


def note(img, x0, colour):
    fill(img, x0, d.disc(6, 12, 2.6), colour)
    fill(img, x0, rect(7.6, 3, 8.8, 12), colour)
    fill(img, x0, poly([(7.6, 3), (13, 5), (13, 7), (8.8, 5.5)]), colour)


def film(img, x0, colour):
    fill(img, x0, rect(1.5, 3.5, 14.5, 12.5), colour)
    for x in (2.5, 6.5, 10.5):
        fill(img, x0, rect(x, 4.5, x + 2, 5.5), PAPER)
        fill(img, x0, rect(x, 10.5, x + 2, 11.5), PAPER)
    fill(img, x0, rect(3, 6.5, 13, 9.5), (180, 200, 230))


def disc_media(img, x0):
    fill(img, x0, d.disc(8, 8, 7), (150, 150, 170))
    fill(img, x0, d.disc(8, 8, 6), (215, 220, 235))
    fill(img, x0, d.disc(8, 8, 2.2), (150, 150, 170))
    fill(img, x0, d.disc(8, 8, 1.2), PAPER)


def torrent(img, x0, colour):
    # Three linked nodes.
    for cx, cy in ((4, 4), (12, 6), (7, 12)):
        fill(img, x0, d.disc(cx, cy, 2.6), colour)
    fill(img, x0, poly([(4, 3.4), (12, 5.4), (12, 6.6), (4, 4.6)]), colour)
    fill(img, x0, poly([(3.4, 4), (4.6, 4), (7.6, 12), (6.4, 12)]), colour)


def draw():
    count = 20
    img = d.canvas(16 * count, 16)
    # 0 channel: the feed symbol.
    d.feed_symbol(img, 0, 0, 16, *ORANGE)
    # 1, 2: an unread and a read item.
    document(img, 16, BLUE)
    document(img, 32, GREY)
    # 3, 4: a closed and an open folder.
    folder(img, 48, False)
    folder(img, 64, True)
    # 5: a list, a filing cabinet.
    fill(img, 80, rect(2.5, 0.5, 13.5, 15.5), (90, 96, 110))
    for top in (1.5, 6.5, 11.5):
        fill(img, 80, rect(3.5, top, 12.5, top + 3.2), (170, 178, 196))
        fill(img, 80, rect(6.5, top + 1.2, 9.5, top + 2), (60, 64, 76))
    # 6: a warning triangle.
    fill(img, 96, poly([(8, 0.5), (15.5, 15), (0.5, 15)]), (150, 100, 0))
    fill(img, 96, poly([(8, 2.5), (14, 14), (2, 14)]), (255, 210, 40))
    fill(img, 96, rect(7.2, 6, 8.8, 10.5), (40, 30, 0))
    fill(img, 96, rect(7.2, 11.5, 8.8, 13), (40, 30, 0))
    # 7: a page of the web (globe).
    fill(img, 112, d.disc(8, 8, 7), (30, 90, 170))
    fill(img, 112, d.disc(8, 8, 6), (110, 170, 230))
    fill(img, 112, rect(1.5, 7.4, 14.5, 8.6), (30, 90, 170))
    fill(img, 112, rect(7.4, 1.5, 8.6, 14.5), (30, 90, 170))
    # 8, 9: audio and video items; 10 to 13 the same four kept.
    note(img, 128, BLUE)
    film(img, 144, (60, 60, 70))
    document(img, 160, BLUE)
    kept_mark(img, 160)
    document(img, 176, GREY)
    kept_mark(img, 176)
    note(img, 192, BLUE)
    kept_mark(img, 192)
    film(img, 208, (60, 60, 70))
    kept_mark(img, 208)
    # 14, 15: other media, and kept.
    disc_media(img, 224)
    disc_media(img, 240)
    kept_mark(img, 240)
    # 16: a search result (magnifier).
    fill(img, 256, d.disc(6.5, 6.5, 5), (60, 60, 70))
    fill(img, 256, d.disc(6.5, 6.5, 3.6), (200, 225, 250))
    fill(img, 256, poly([(9.5, 10.5), (10.5, 9.5), (15.5, 14.5), (14.5, 15.5)]), (60, 60, 70))
    # 17: a news watch, a pencil with a magnifier.
    fill(img, 272, poly([(1, 13), (10, 4), (12, 6), (3, 15), (1, 15)]), (230, 160, 40))
    fill(img, 272, poly([(10, 4), (11.5, 2.5), (13.5, 4.5), (12, 6)]), (220, 120, 140))
    fill(img, 272, d.disc(11.5, 11.5, 3.6), (60, 60, 70))
    fill(img, 272, d.disc(11.5, 11.5, 2.4), (200, 225, 250))
    # 18, 19: a torrent, and one the engine knows.
    torrent(img, 288, GREY)
    torrent(img, 304, GREEN)
    d.write_png(os.path.join(d.OUT, "131-tree-images.png"), 16 * count, 16, img, alpha=True)


if __name__ == "__main__":
    os.makedirs(d.OUT, exist_ok=True)
    draw()
