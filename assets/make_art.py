#!/usr/bin/env python3
"""Draws every icon, cursor and bitmap of the product and writes them into this folder.

The build uses the committed files; run this after changing the artwork and commit both.
  make_art.py          rewrite the images
  make_art.py --check  exit 1 if a committed image differs from what this script draws

Only the standard library is used, and nothing depends on time or environment, so every run
produces the same bytes.
"""

import math
import os
import struct
import sys
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------------------------------------
# Colours

# An ink is a colour for the true-colour images together with the colour of the standard
# 16-colour palette that stands in for it in 4-bit images.
Ink = namedtuple("Ink", "rgb vga")

VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


def _pal8():
    steps = (0, 51, 102, 153, 204, 255)
    cube = [(r, g, b) for r in steps for g in steps for b in steps]
    # The cube already holds six greys; these fill the gaps between them.
    greys = [(v, v, v) for v in (i * 255 // 41 for i in range(1, 41))]
    return cube + greys


PAL8 = _pal8()


def ink(hexrgb, vga):
    return Ink(((hexrgb >> 16) & 255, (hexrgb >> 8) & 255, hexrgb & 255), vga)


OUTLINE = ink(0x1D3461, BLACK)
TITLE_HI = ink(0x6FA8F7, BLUE)
TITLE = ink(0x2F6BD6, BLUE)
TITLE_LO = ink(0x1A4DAF, BLUE)
WHITE_INK = ink(0xFFFFFF, WHITE)
SLIDE_LO = ink(0xD9E4F4, WHITE)
BODY_LO = ink(0xE6EBF2, WHITE)
ACCENT_HI = ink(0xFFC061, RED)
ACCENT = ink(0xF47A1F, RED)
ACCENT_LO = ink(0xD9481A, RED)
TEXT_LINE = ink(0xA3AFC2, GREY)
PAGE_EDGE = ink(0x7C8699, GREY)
PAGE_LO = ink(0xE8ECF2, WHITE)
FOLD = ink(0xCFD6E1, SILVER)
OCEAN_HI = ink(0x8FD2FF, BLUE)
OCEAN = ink(0x2F86DE, BLUE)
OCEAN_LO = ink(0x134E9E, BLUE)
OCEAN_EDGE = ink(0x0F3A78, NAVY)
LAND = ink(0x5DB94A, LIME)
LAND_LO = ink(0x2F8A32, GREEN)
FRAME_HI = ink(0xE9C46A, OLIVE)
FRAME = ink(0xB9862F, OLIVE)
FRAME_LO = ink(0x7A5418, OLIVE)
SKY_HI = ink(0xCDEBFF, AQUA)
SKY = ink(0x8CCBF5, AQUA)
HILL = ink(0x49A84A, GREEN)
HILL_LO = ink(0x2F7F36, GREEN)
SUN = ink(0xFFD43B, YELLOW)
WAND = ink(0x2B2B2B, BLACK)
STAR_HI = ink(0xFFF3A0, YELLOW)
STAR = ink(0xFFD21F, YELLOW)
STAR_EDGE = ink(0xB97A00, OLIVE)
CHECK_HI = ink(0x7BD96B, LIME)
CHECK = ink(0x2FA23A, GREEN)
CHECK_EDGE = ink(0x1A6E25, GREEN)
BOX_HI = ink(0xF0CE8E, YELLOW)
BOX = ink(0xD7A458, YELLOW)
BOX_LO = ink(0xAF7B32, OLIVE)
BOX_EDGE = ink(0x6E4A17, BLACK)
ARROW_HI = ink(0x7FE07A, LIME)
ARROW = ink(0x2E9E3A, GREEN)


def nearest(palette, rgb):
    r, g, b = rgb
    best, best_d = 0, None
    for i, (pr, pg, pb) in enumerate(palette):
        d = 2 * (pr - r) ** 2 + 4 * (pg - g) ** 2 + 3 * (pb - b) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


class Grad:
    """Linear gradient between two inks along the line p0 -> p1; flat images use its `flat` ink."""

    def __init__(self, a, b, p0, p1, flat=None):
        self.a, self.b, self.p0 = a, b, p0
        dx, dy = p1[0] - p0[0], p1[1] - p0[1]
        n = dx * dx + dy * dy or 1.0
        self.dx, self.dy = dx / n, dy / n
        self.flat = flat or a

    def at(self, x, y):
        t = (x - self.p0[0]) * self.dx + (y - self.p0[1]) * self.dy
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return tuple(ca + (cb - ca) * t for ca, cb in zip(self.a.rgb, self.b.rgb))


class Radial:
    """Radial gradient from ink a at the centre to ink b at radius r."""

    def __init__(self, a, b, c, r, flat=None):
        self.a, self.b, self.c, self.r = a, b, c, r
        self.flat = flat or b

    def at(self, x, y):
        t = min(1.0, math.hypot(x - self.c[0], y - self.c[1]) / self.r)
        return tuple(ca + (cb - ca) * t for ca, cb in zip(self.a.rgb, self.b.rgb))


def vgrad(a, b, y0, y1, flat=None):
    return Grad(a, b, (0, y0), (0, y1), flat)


# ---------------------------------------------------------------------------------------------
# Shapes: signed distance to the outline (negative inside), with a bounding box.


class Shape:
    def __init__(self, d, box):
        self.d, self.box = d, box

    def __and__(self, o):
        a, b = self.d, o.d
        box = (max(self.box[0], o.box[0]), max(self.box[1], o.box[1]),
               min(self.box[2], o.box[2]), min(self.box[3], o.box[3]))
        return Shape(lambda x, y: max(a(x, y), b(x, y)), box)

    def __or__(self, o):
        a, b = self.d, o.d
        box = (min(self.box[0], o.box[0]), min(self.box[1], o.box[1]),
               max(self.box[2], o.box[2]), max(self.box[3], o.box[3]))
        return Shape(lambda x, y: min(a(x, y), b(x, y)), box)

    def __sub__(self, o):
        a, b = self.d, o.d
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: max(x0 - x, x - x1, y0 - y, y - y1), (x0, y0, x1, y1))


def rrect(x0, y0, x1, y1, r):
    if r <= 0:
        return rect(x0, y0, x1, y1)
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r

    return Shape(d, (x0, y0, x1, y1))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    m = min(rx, ry)
    return Shape(lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * m,
                 (cx - rx, cy - ry, cx + rx, cy + ry))


def _seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    n = dx * dx + dy * dy
    t = 0.0 if n == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / n))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def stroke(points, width, closed=False):
    """A line of the given width through the points, with round ends."""
    segs = list(zip(points, points[1:] + points[:1] if closed else points[1:]))
    h = width / 2

    def d(x, y):
        return min(_seg_dist(x, y, a[0], a[1], b[0], b[1]) for a, b in segs) - h

    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(d, (min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h))


def polygon(points):
    segs = list(zip(points, points[1:] + points[:1]))

    def d(x, y):
        inside = False
        for (ax, ay), (bx, by) in segs:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        dist = min(_seg_dist(x, y, a[0], a[1], b[0], b[1]) for a, b in segs)
        return -dist if inside else dist

    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(d, (min(xs), min(ys), max(xs), max(ys)))


def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points on an elliptical arc; angles in degrees, counter-clockwise as seen on screen."""
    steps = steps or max(6, int(abs(a1 - a0) / 6))
    out = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        out.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return out


def star(cx, cy, r_out, r_in, points=5, turn=0.0):
    pts = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(90 + turn + 180.0 * i / points)
        pts.append((cx + r * math.cos(a), cy - r * math.sin(a)))
    return polygon(pts)


# ---------------------------------------------------------------------------------------------
# Canvas


class Canvas:
    """Straight-alpha RGBA pixels in floats (colour 0..255, alpha 0..1).

    mode "rgba" draws anti-aliased true colour; "pal8" and "pal4" draw hard edges in the colours
    of the 256- and 16-colour palettes, for the icon images that have only a transparency mask.
    """

    def __init__(self, w, h, mode="rgba", bg=None):
        self.w, self.h, self.mode = w, h, mode
        self.ox = self.oy = 0.0
        base = (0.0, 0.0, 0.0, 0.0) if bg is None else tuple(bg) + (1.0,)
        self.px = [list(base) for _ in range(w * h)]

    def _solid(self, paint):
        i = paint if isinstance(paint, Ink) else paint.flat
        if self.mode == "pal4":
            return VGA[i.vga]
        if self.mode == "pal8":
            return PAL8[nearest(PAL8, i.rgb)]
        return i.rgb

    def fill(self, shape, paint, alpha=1.0, soft=True):
        """Paints the shape; alpha below 1 marks true-colour shading that flat images leave out."""
        flat = self.mode != "rgba"
        if flat and alpha < 1.0:
            return
        solid = None if (not flat and not isinstance(paint, Ink)) else self._solid(paint)
        ox, oy = self.ox, self.oy
        x0 = max(0, int(math.floor(shape.box[0] + ox)) - 1)
        y0 = max(0, int(math.floor(shape.box[1] + oy)) - 1)
        x1 = min(self.w, int(math.ceil(shape.box[2] + ox)) + 1)
        y1 = min(self.h, int(math.ceil(shape.box[3] + oy)) + 1)
        d = shape.d
        for y in range(y0, y1):
            sy = y + 0.5 - oy
            row = y * self.w
            for x in range(x0, x1):
                sx = x + 0.5 - ox
                dist = d(sx, sy)
                if flat or not soft:
                    if dist >= 0:
                        continue
                    cov = 1.0
                else:
                    cov = 0.5 - dist
                    if cov <= 0:
                        continue
                    if cov > 1:
                        cov = 1.0
                col = solid if solid is not None else paint.at(sx, sy)
                self._blend(row + x, col, cov * alpha)

    def _blend(self, i, col, a):
        p = self.px[i]
        if a >= 1.0 or p[3] <= 0.0:
            if a >= 1.0:
                self.px[i] = [col[0], col[1], col[2], 1.0]
            else:
                self.px[i] = [col[0], col[1], col[2], a]
            return
        da = p[3] * (1.0 - a)
        oa = a + da
        self.px[i] = [(col[0] * a + p[0] * da) / oa, (col[1] * a + p[1] * da) / oa,
                      (col[2] * a + p[2] * da) / oa, oa]

    def draw(self, other, x, y):
        """Composites another canvas onto this one with its top-left corner at (x, y)."""
        for sy in range(other.h):
            for sx in range(other.w):
                p = other.px[sy * other.w + sx]
                tx, ty = x + sx, y + sy
                if p[3] > 0 and 0 <= tx < self.w and 0 <= ty < self.h:
                    self._blend(ty * self.w + tx, p, p[3])

    def rgba8(self):
        out = []
        for r, g, b, a in self.px:
            a8 = int(round(a * 255))
            if a8 == 0:
                out.append((0, 0, 0, 0))
            else:
                out.append((int(round(r)), int(round(g)), int(round(b)), a8))
        return out


def framed(c, shape_out, shape_in, edge, fill):
    c.fill(shape_out, edge)
    c.fill(shape_in, fill)


# ---------------------------------------------------------------------------------------------
# Drawing pieces. Sizes 16, 32 and 48 are laid out separately so every edge lands on a pixel.


def draw_slide(c, x0, y0, x1, y1, r):
    """A presentation slide: a framed sheet with a coloured title and text lines."""
    framed(c, rrect(x0, y0, x1, y1, r), rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, r - 1)),
           OUTLINE, vgrad(WHITE_INK, SLIDE_LO, y0, y1, WHITE_INK))
    w, h = x1 - x0, y1 - y0
    m = max(2, round(w / 8))
    if h < 9:
        th = 1
        c.fill(rect(x0 + m, y0 + 2, x1 - m, y0 + 2 + th), ACCENT)
        return
    th = max(2, round(h / 6))
    ty = y0 + max(2, round(h / 7))
    c.fill(rect(x0 + m, ty, x1 - m, ty + th), vgrad(ACCENT_HI, ACCENT_LO, ty, ty + th, ACCENT))
    lh = 1 if h < 20 else 2
    y = ty + th + (2 if h < 20 else 3)
    widths = (0.78, 0.62, 0.7, 0.5)
    k = 0
    while y + lh <= y1 - 2 and k < len(widths):
        lx1 = x0 + m + round((w - 2 * m) * widths[k])
        if h >= 20:
            c.fill(rect(x0 + m, y, x0 + m + lh, y + lh), ACCENT)
            c.fill(rect(x0 + m + lh + 2, y, lx1, y + lh), TEXT_LINE)
        else:
            c.fill(rect(x0 + m, y, lx1, y + lh), TEXT_LINE)
        y += lh + (2 if h < 20 else 3)
        k += 1


def draw_window(c, x0, y0, x1, y1, r, th, body_lines=False):
    """An application window: frame, title bar with a close box, and a client area."""
    framed(c, rrect(x0, y0, x1, y1, r), rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, r - 1)),
           OUTLINE, vgrad(WHITE_INK, BODY_LO, y0 + th, y1, WHITE_INK))
    title = rrect(x0 + 1, y0 + 1, x1 - 1, y0 + 1 + th + r, max(0, r - 1)) & rect(
        x0, y0, x1, y0 + 1 + th)
    c.fill(title, vgrad(TITLE_HI, TITLE_LO, y0 + 1, y0 + 1 + th, TITLE))
    if th >= 4:
        c.fill(rect(x0 + 2, y0 + 2, x1 - 2, y0 + 2 + th / 2), WHITE_INK, alpha=0.18)
        b = th - 2
        bx1, by0 = x1 - 3, y0 + 2
        c.fill(rect(bx1 - b, by0, bx1, by0 + b), WHITE_INK)
        for i in range(1, b - 1):
            for x in (bx1 - b + i, bx1 - 1 - i):
                c.fill(rect(x, by0 + i, x + 1, by0 + i + 1), TITLE_LO)
    if body_lines:
        y = y0 + th + 4
        for frac in (0.7, 0.5):
            if y + 1 > y1 - 3:
                break
            c.fill(rect(x0 + 4, y, x0 + 4 + round((x1 - x0 - 8) * frac), y + 1), TEXT_LINE)
            y += 3


def draw_play(c, pts):
    c.fill(polygon(pts), Grad(ACCENT_HI, ACCENT_LO, pts[0], pts[1], ACCENT))
    if c.mode == "rgba":
        c.fill(stroke(pts, 0.8, closed=True), ACCENT_LO, alpha=0.45)


def draw_page(c, x0, y0, x1, y1, fold):
    """A sheet of paper with a turned-down top right corner."""
    body = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    c.fill(polygon(body), PAGE_EDGE)
    inner = [(x0 + 1, y0 + 1), (x1 - fold - 0.41, y0 + 1), (x1 - 1, y0 + fold + 0.41),
             (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)]
    c.fill(polygon(inner), vgrad(WHITE_INK, PAGE_LO, y0, y1, WHITE_INK))
    ear = [(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]
    c.fill(polygon(ear), PAGE_EDGE)
    ear_in = [(x1 - fold + 1, y0 + 2.41), (x1 - fold + 1, y0 + fold - 1), (x1 - 2.41, y0 + fold - 1)]
    c.fill(polygon(ear_in), Grad(WHITE_INK, FOLD, (x1 - fold, y0 + fold), (x1, y0), FOLD))


def draw_sheet(c, x0, y0, x1, y1):
    framed(c, rect(x0, y0, x1, y1), rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), PAGE_EDGE,
           vgrad(WHITE_INK, PAGE_LO, y0, y1, WHITE_INK))


def draw_pad(c, x0, y0, x1, y1, step, fold):
    """A pad of pages: two sheets showing behind the top one."""
    for k in (2, 1):
        draw_sheet(c, x0 + k * step, y0 + k * step, x1 + k * step, y1 + k * step)
    draw_page(c, x0, y0, x1, y1, fold)


CONTINENTS = (
    [(-6.5, -4), (-4, -6.2), (-1, -6.5), (0.5, -5), (-0.5, -3.5), (-2, -2.5), (-2.5, -1),
     (-3.8, -0.5), (-5, -1.5), (-6.5, -2.5)],
    [(-2.8, 0.5), (-0.5, 0.8), (1, 2), (0.5, 4), (-1.2, 6.5), (-2.2, 6.8), (-2.4, 4), (-3.2, 1.8)],
    [(2.8, -6), (5, -6.5), (7.5, -4), (8, 0), (7, 3), (5.5, 6), (4.2, 5.5), (4.5, 2.5), (3, 0.5),
     (2.2, -1.5), (3.5, -3), (2.5, -4.5)],
)


def draw_globe(c, cx, cy, r):
    ball = circle(cx, cy, r)
    c.fill(ball, OCEAN_EDGE)
    inner = circle(cx, cy, r - 1)
    c.fill(inner, Radial(OCEAN_HI, OCEAN_LO, (cx - r * 0.35, cy - r * 0.4), r * 1.5, OCEAN))
    u = r / 8.0
    # The Atlantic: the Americas on the left, Europe and Africa on the right, cut by the sea.
    land = None
    for outline in CONTINENTS:
        piece = polygon([(cx + x * u, cy + y * u) for x, y in outline])
        land = piece if land is None else land | piece
    land = land & circle(cx, cy, r - 1.5)
    if r < 5:
        land = (rect(cx - 2.5, cy - 2, cx - 0.5, cy) | rect(cx + 0.5, cy, cx + 2.5, cy + 2)) & inner
    c.fill(land, Radial(LAND, LAND_LO, (cx - r * 0.35, cy - r * 0.4), r * 1.5, LAND))
    if r >= 7:
        c.fill(ellipse(cx - r * 0.38, cy - r * 0.45, r * 0.32, r * 0.2), WHITE_INK, alpha=0.55)


def draw_picture(c, x0, y0, x1, y1, b):
    """A framed landscape picture; b is the width of the frame."""
    framed(c, rect(x0, y0, x1, y1), rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), FRAME_LO,
           Grad(FRAME_HI, FRAME, (x0, y0), (x1, y1), FRAME))
    ix0, iy0, ix1, iy1 = x0 + b, y0 + b, x1 - b, y1 - b
    framed(c, rect(ix0 - 1, iy0 - 1, ix1 + 1, iy1 + 1), rect(ix0, iy0, ix1, iy1), FRAME_LO,
           vgrad(SKY_HI, SKY, iy0, iy1, SKY))
    w, h = ix1 - ix0, iy1 - iy0
    view = rect(ix0, iy0, ix1, iy1)
    if w >= 8:
        c.fill(circle(ix1 - w * 0.28, iy0 + h * 0.3, max(1.2, w * 0.14)), SUN)
    hills = (circle(ix0 + w * 0.25, iy1 + h * 0.55, h * 0.95) | circle(
        ix0 + w * 0.85, iy1 + h * 0.7, h * 0.85)) & view
    if h < 5:
        hills = rect(ix0, iy1 - 2, ix1, iy1) & view
    c.fill(hills, vgrad(HILL, HILL_LO, iy0 + h * 0.4, iy1, HILL))


def draw_wand(c, x0, y0, x1, y1, w, tip):
    """A magic wand from (x0, y0) to its tip (x1, y1); tip is the length of its white end."""
    n = math.hypot(x1 - x0, y1 - y0)
    tx, ty = x1 - (x1 - x0) * tip / n, y1 - (y1 - y0) * tip / n
    if w < 2:
        c.fill(stroke([(x0, y0), (x1, y1)], w), WAND, soft=False)
        return
    c.fill(stroke([(x0, y0), (x1, y1)], w + 1.4), WAND)
    c.fill(stroke([(tx, ty), (x1, y1)], w - 0.6), WHITE_INK)


def draw_star(c, cx, cy, r):
    if r < 3:
        c.fill(rect(cx - 0.5, cy - r, cx + 0.5, cy + r) | rect(cx - r, cy - 0.5, cx + r, cy + 0.5),
               STAR_EDGE)
        c.fill(rect(cx - 0.5, cy - 0.5, cx + 0.5, cy + 0.5), STAR)
        return
    c.fill(star(cx, cy, r, r * 0.45), STAR_EDGE)
    c.fill(star(cx, cy + 0.3, r - 1.6, (r - 1.6) * 0.45), Radial(STAR_HI, STAR, (cx, cy), r, STAR))


def draw_sparkle(c, cx, cy, r):
    c.fill(star(cx, cy, r, r * 0.28, points=4), STAR, soft=c.mode == "rgba")


def draw_check_badge(c, cx, cy, r):
    c.fill(circle(cx, cy, r), CHECK_EDGE)
    c.fill(circle(cx, cy, r - 1), Radial(CHECK_HI, CHECK, (cx - r * 0.3, cy - r * 0.4), r * 1.3))
    u = r / 7.0
    c.fill(stroke([(cx - 3.4 * u, cy + 0.2 * u), (cx - 0.9 * u, cy + 2.8 * u),
                   (cx + 3.6 * u, cy - 2.6 * u)], max(1.0, 2.2 * u)), WHITE_INK)


# ---------------------------------------------------------------------------------------------
# The product emblem: a slide that turns into a program window that plays it.

EMBLEM = {
    16: dict(slide=(0, 1, 12, 10, 1), win=(4, 6, 16, 15, 1, 2),
             play=[(8, 9), (8, 14), (11, 11.5)]),
    32: dict(slide=(0, 2, 24, 20, 2), win=(9, 11, 32, 30, 2, 5),
             play=[(17, 18), (17, 27.5), (25, 22.75)]),
    48: dict(slide=(1, 4, 35, 30, 3), win=(13, 17, 47, 45, 3, 7),
             play=[(25.5, 26.5), (25.5, 41.5), (38.5, 34)]),
}


def draw_emblem(c, s):
    e = EMBLEM[s]
    draw_slide(c, *e["slide"])
    draw_window(c, *e["win"])
    draw_play(c, e["play"])


# ---------------------------------------------------------------------------------------------
# The six package icons: a page or a pad of pages, the slide, and what the package is for.

PKG = {
    16: dict(page=(2, 0, 14, 16, 4), pad=(1, 0, 12, 14, 1, 3),
             slide=(4, 3, 11, 9, 0), pad_slide=(3, 4, 10, 10, 0),
             win=(8, 9, 16, 16, 1, 2), globe=(11.5, 11.5, 4.5),
             picture=(0, 8, 8, 15, 1), globe4=(12, 12, 4),
             wand=(5, 15, 11, 9, 1.5, 2), star=(13.5, 7.5, 2.5)),
    32: dict(page=(5, 1, 27, 31, 7), pad=(3, 1, 24, 28, 2, 5),
             slide=(8, 7, 22, 18, 1), pad_slide=(6, 8, 20, 19, 1),
             win=(15, 18, 31, 31, 2, 4), globe=(23.5, 23.5, 7.5),
             picture=(1, 17, 14, 29, 2), globe4=(24, 24, 7),
             wand=(13, 30, 23, 20, 2, 4), star=(25, 17, 5.5)),
    48: dict(page=(7, 1, 41, 47, 10), pad=(4, 1, 36, 42, 3, 8),
             slide=(12, 12, 33, 28, 2), pad_slide=(9, 12, 30, 28, 2),
             win=(22, 27, 47, 46, 2, 6), globe=(35, 35, 11.5),
             picture=(1, 25, 21, 43, 3), globe4=(36, 36, 10.5),
             wand=(19, 45, 34, 30, 3, 6), star=(38, 26, 8.5)),
}


def draw_package(c, s, n):
    L = PKG[s]
    if n in (2, 5, 6):
        draw_pad(c, *L["pad"])
        draw_slide(c, *L["pad_slide"])
    else:
        draw_page(c, *L["page"])
        draw_slide(c, *L["slide"])
    if n in (1, 2):
        draw_window(c, *L["win"], body_lines=s == 48)
    elif n in (3, 5):
        draw_globe(c, *L["globe"])
    elif n == 4:
        draw_picture(c, *L["picture"])
        draw_globe(c, *L["globe4"])
    else:
        draw_wand(c, *L["wand"])
        sx, sy, sr = L["star"]
        draw_star(c, sx, sy, sr)
        if s >= 32:
            k = s / 48.0
            draw_sparkle(c, sx - 11 * k, sy - 3 * k, 3.2 * k)
            draw_sparkle(c, sx + 4 * k, sy + 11 * k, 2.6 * k)


# ---------------------------------------------------------------------------------------------
# Setup: a carton with an arrow going into it; its finish icon is the emblem with a check mark.


def draw_setup(c, s):
    assert s == 16
    # Open carton seen from the front, flaps folded outwards.
    c.fill(polygon([(1, 7), (4, 5), (12, 5), (15, 7), (15, 8), (1, 8)]), BOX_EDGE)
    c.fill(polygon([(2, 7.2), (4.3, 6), (11.7, 6), (14, 7.2), (14, 7.5), (2, 7.5)]), BOX_LO)
    framed(c, rect(2, 7, 14, 16), rect(3, 8, 13, 15), BOX_EDGE, vgrad(BOX_HI, BOX, 8, 15, BOX))
    c.fill(rect(3, 10, 13, 11), BOX_LO)
    # Arrow pointing down into it.
    arrow = polygon([(6, 0), (10, 0), (10, 5), (12.5, 5), (8, 9.5), (3.5, 5), (6, 5)])
    c.fill(arrow, ARROW if c.mode != "rgba" else CHECK_EDGE)
    c.fill(polygon([(7, 1), (9, 1), (9, 6), (10.2, 6), (8, 8.2), (5.8, 6), (7, 6)]),
           vgrad(ARROW_HI, ARROW, 0, 9, ARROW))


def draw_setup_finish(c, s):
    assert s == 32
    draw_emblem(c, 32)
    draw_check_badge(c, 8, 24, 7.5)


# ---------------------------------------------------------------------------------------------
# Pointing hand cursor (1 bit): the hand is filled in, the outline is its one-pixel border.


def hand_cursor():
    w = h = 32
    inside = [[False] * w for _ in range(h)]

    def fill(x0, y0, x1, y1):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                inside[y][x] = True

    # Fingers (columns, top row); neighbours share their outline column. The index finger's tip
    # is on the top row, centred on the hot spot.
    for x0, top in ((4, 0), (7, 5), (10, 6), (13, 8)):
        fill(x0 + 1, top, x0 + 2, top)
        fill(x0, top + 1, x0 + 3, 16)
    # Palm with the thumb on the left, narrowing to the wrist: (row, left, right).
    for y, left, right in ((9, 1, 2), (10, 0, 16), (11, 0, 16), (12, 1, 16), (13, 1, 16),
                           (14, 2, 16), (15, 2, 16), (16, 3, 16), (17, 3, 16), (18, 4, 16),
                           (19, 4, 16), (20, 5, 15), (21, 5, 15), (22, 6, 15), (23, 6, 15)):
        fill(left, y, right, y)
    creases = {(7, y) for y in range(5, 11)} | {(10, y) for y in range(6, 11)} | {
        (13, y) for y in range(8, 11)}
    pixels = []  # 0 transparent, 1 black, 2 white
    for y in range(h):
        for x in range(w):
            if not inside[y][x]:
                pixels.append(0)
                continue
            edge = (x, y) in creases or any(
                not (0 <= x + dx < w and 0 <= y + dy < h and inside[y + dy][x + dx])
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            pixels.append(1 if edge else 2)
    return pixels, (5, 0)


# ---------------------------------------------------------------------------------------------
# Lettering for the setup logo: lower-case strokes, baseline at y 0, x-height 18.

GLYPHS = {
    "k": (13, [[(1.7, -27), (1.7, 0)], [(11.5, -18), (1.7, -8.2)], [(5.6, -11.8), (12, 0)]]),
    "e": (17, [[(1.2, -9), (15.6, -9)] + arc(8.4, -9, 7.2, 7.6, 0, 318)]),
    "s": (12, [arc(6, -13.6, 4.3, 4.4, 28, 270) + arc(6, -4.6, 4.5, 4.6, 90, -152)]),
    "t": (10, [[(3.5, -24.5), (3.5, -4.5)] + arc(7.5, -4.5, 4, 4.5, 180, 270) + [(9.5, 0)],
               [(0, -17.6), (9, -17.6)]]),
    "r": (10, [[(1.7, -18), (1.7, 0)], arc(8.6, -10.2, 6.9, 7.8, 180, 82)]),
    "a": (17, [arc(8.4, -9, 7.2, 7.6, 0, 360), [(15.6, -18), (15.6, 0)]]),
    "n": (15, [[(1.7, -18), (1.7, 0)],
               arc(7.95, -10.8, 6.25, 7.2, 180, 0) + [(14.2, 0)]]),
}


def word(text, x, baseline, width, spacing):
    lines = []
    for ch in text:
        adv, strokes = GLYPHS[ch]
        for s in strokes:
            lines.append(stroke([(x + px, baseline + py) for px, py in s], width))
        x += adv + spacing
    out = lines[0]
    for s in lines[1:]:
        out = out | s
    return out, x - spacing


# ---------------------------------------------------------------------------------------------
# Setup window pictures. The welcome window is 449 x 359; its background is one pixel larger.

LOGO_W, LOGO_H = 204, 58  # the logo's place on the welcome window, 3060 x 870 twips


def logo():
    c = Canvas(LOGO_W, LOGO_H, bg=(255, 255, 255))
    c.ox, c.oy = 4, 4
    draw_emblem(c, 48)
    c.ox = c.oy = 0
    # The byline "by Tamsworth" is a label laid over the logo at (124, 44): keep it clear.
    shape, _ = word("kestrane", 60, 36, 3.3, 2.2)
    c.fill(shape, OUTLINE)
    c.fill(rect(61, 49, 119, 50.5), ACCENT)
    return c


def background():
    w, h = 450, 360
    c = Canvas(w, h, bg=(255, 255, 255))
    band = 27
    c.fill(rect(0, 0, w, band), Grad(ink(0x17316A, 0), ink(0x3E7FE0, 0), (0, 0), (w, band)))
    c.fill(rect(0, 0, w, band / 2), WHITE_INK, alpha=0.07)
    # Faint slides drifting across the band.
    for i, (x, y, sw) in enumerate(((262, 6, 22), (300, 4, 26), (342, 7, 20), (378, 3, 28),
                                    (418, 6, 22))):
        sh = round(sw * 0.68)
        c.fill(rrect(x, y, x + sw, y + sh, 2) - rrect(x + 1.5, y + 1.5, x + sw - 1.5,
                                                        y + sh - 1.5, 1), WHITE_INK,
               alpha=0.16 + 0.04 * i)
    c.fill(rect(0, band, w, band + 3), Grad(ACCENT_HI, ACCENT_LO, (0, 0), (w, 0)))
    # Button area: a light panel, inset by the white strip the window lays along its left edge.
    top, m = 316, 8
    c.fill(rrect(m, top, w - m, h + 8, 5), ink(0xC9D0DB, 0))
    c.fill(rrect(m + 1, top + 1, w - m - 1, h + 8, 4),
           vgrad(ink(0xF7F9FC, 0), ink(0xE1E6EE, 0), top + 1, h))
    return c


# ---------------------------------------------------------------------------------------------
# File formats


def _rows_bottom_up(h):
    return range(h - 1, -1, -1)


def _and_mask(opaque, w, h):
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in _rows_bottom_up(h):
        row = bytearray(stride)
        for x in range(w):
            if not opaque[y * w + x]:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def _bitmap_info(w, h, bpp, image_size):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size, 0, 0, 0, 0)


def icon_image(c):
    """One icon image (DIB with colour and mask) from a canvas: 32 bpp, or 8/4 bpp by mode."""
    w, h = c.w, c.h
    px = c.rgba8()
    opaque = [p[3] > 0 for p in px]
    if c.mode == "rgba":
        xor = bytearray()
        for y in _rows_bottom_up(h):
            for x in range(w):
                r, g, b, a = px[y * w + x]
                xor += bytes((b, g, r, a))
        palette, bpp = b"", 32
    else:
        pal = VGA if c.mode == "pal4" else PAL8
        bpp = 4 if c.mode == "pal4" else 8
        index = {col: i for i, col in reversed(list(enumerate(pal)))}
        idx = [index[p[:3]] if p[3] else 0 for p in px]
        stride = ((w * bpp + 31) // 32) * 4
        xor = bytearray()
        for y in _rows_bottom_up(h):
            row = bytearray(stride)
            for x in range(w):
                v = idx[y * w + x]
                if bpp == 8:
                    row[x] = v
                else:
                    row[x >> 1] |= v << (4 if x % 2 == 0 else 0)
            xor += row
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
    mask = _and_mask(opaque, w, h)
    return _bitmap_info(w, h * 2, bpp, len(xor) + len(mask)) + palette + bytes(xor) + mask


def ico_file(images, kind=1, hotspot=None):
    """images: list of (width, height, bpp, dib bytes)."""
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for w, h, bpp, data in images:
        if kind == 2:
            planes, bits = hotspot
            colors = 0
        else:
            planes, bits = 1, bpp
            colors = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colors, 0, planes, bits, len(data),
                           offset + len(body))
        body += data
    return out + body


def render(draw, s, mode):
    c = Canvas(s, s, mode)
    draw(c, s)
    return (s, s, {"rgba": 32, "pal8": 8, "pal4": 4}[mode], icon_image(c))


def make_icon(draw, formats):
    return ico_file([render(draw, s, mode) for s, mode in formats])


def bmp24(c):
    w, h = c.w, c.h
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for y in _rows_bottom_up(h):
        row = bytearray(stride)
        for x in range(w):
            r, g, b, a = c.px[y * w + x]
            row[x * 3:x * 3 + 3] = bytes((int(round(b)), int(round(g)), int(round(r))))
        data += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


def cur_file(pixels, hotspot, w=32, h=32):
    # 1 bpp: colour 0 black, 1 white; a set mask bit with colour 0 leaves the screen alone.
    stride = ((w + 31) // 32) * 4
    xor = bytearray()
    for y in _rows_bottom_up(h):
        row = bytearray(stride)
        for x in range(w):
            if pixels[y * w + x] == 2:
                row[x >> 3] |= 0x80 >> (x & 7)
        xor += row
    mask = _and_mask([p != 0 for p in pixels], w, h)
    dib = (_bitmap_info(w, h * 2, 1, len(xor) + len(mask)) + bytes((0, 0, 0, 0, 255, 255, 255, 0))
           + bytes(xor) + mask)
    return ico_file([(w, h, 1, dib)], kind=2, hotspot=hotspot)


# ---------------------------------------------------------------------------------------------

CHOOSER_WIDTH = {1: 47, 2: 44, 3: 47, 4: 47, 5: 44, 6: 47}
CHOOSER_HEIGHT = 46


def chooser_bitmap(n):
    w = CHOOSER_WIDTH[n]
    c = Canvas(w, CHOOSER_HEIGHT, bg=(255, 255, 255))
    art = Canvas(32, 32)
    draw_package(art, 32, n)
    c.draw(art, (w - 32) // 2, (CHOOSER_HEIGHT - 32) // 2)
    return bmp24(c)


def build():
    out = {}
    out["kestrane.ico"] = make_icon(draw_emblem, [
        (32, "pal4"), (16, "pal4"),
        (48, "pal8"), (32, "pal8"), (16, "pal8"),
        (48, "rgba"), (32, "rgba"), (16, "rgba")])
    for n in range(1, 7):
        def draw(c, s, n=n):
            draw_package(c, s, n)
        out["package%d.ico" % n] = make_icon(draw, [
            (32, "pal8"), (16, "pal8"), (48, "rgba"), (32, "rgba"), (16, "rgba")])
        out["chooser%d.bmp" % n] = chooser_bitmap(n)
    pixels, hot = hand_cursor()
    out["hand.cur"] = cur_file(pixels, hot)
    out["setup.ico"] = make_icon(draw_setup, [(16, "pal4"), (16, "pal8"), (16, "rgba")])
    out["setup_finish.ico"] = make_icon(draw_setup_finish,
                                        [(32, "pal4"), (32, "pal8"), (32, "rgba")])
    out["setup_logo.bmp"] = bmp24(logo())
    out["setup_background.bmp"] = bmp24(background())
    return out


def main(argv):
    check = "--check" in argv[1:]
    stale = []
    for name, data in sorted(build().items()):
        path = os.path.join(HERE, name)
        old = None
        if os.path.exists(path):
            with open(path, "rb") as f:
                old = f.read()
        if old == data:
            continue
        stale.append(name)
        if not check:
            with open(path, "wb") as f:
                f.write(data)
    if check and stale:
        print("out of date (run assets/make_art.py and commit): " + ", ".join(stale))
        return 1
    if not check and stale:
        print("wrote " + ", ".join(stale))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
