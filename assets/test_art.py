#!/usr/bin/env python3
"""Reads the committed images back with a reader of its own and checks what the programs rely on:
the image sets of each icon, masks that agree with the colours, the cursor's hot spot, and the
sizes of the bitmaps."""

import os
import struct
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def read(name):
    with open(os.path.join(HERE, name), "rb") as f:
        return f.read()


def bit(row, x):
    return (row[x >> 3] >> (7 - (x & 7))) & 1


def parse_dib(data, w, h):
    """Returns bpp, palette and rows of (colour, masked) from top to bottom."""
    size, dw, dh, planes, bpp, comp = struct.unpack_from("<IiiHHI", data)
    assert (size, dw, dh, planes, comp) == (40, w, 2 * h, 1, 0), (size, dw, dh, planes, comp)
    ncol = 1 << bpp if bpp <= 8 else 0
    pal = [tuple(data[40 + 4 * i + k] for k in (2, 1, 0)) for i in range(ncol)]
    off = 40 + 4 * ncol
    stride = ((w * bpp + 31) // 32) * 4
    mstride = ((w + 31) // 32) * 4
    moff = off + stride * h
    assert len(data) == moff + mstride * h, "image size"
    rows = []
    for y in range(h):
        src = off + stride * (h - 1 - y)
        mrow = data[moff + mstride * (h - 1 - y):][:mstride]
        row = []
        for x in range(w):
            if bpp == 32:
                b, g, r, a = data[src + 4 * x:src + 4 * x + 4]
                col = (r, g, b, a)
            elif bpp == 8:
                col = data[src + x]
            elif bpp == 4:
                col = (data[src + x // 2] >> (4 if x % 2 == 0 else 0)) & 15
            else:
                col = bit(data[src:], x)
            row.append((col, bit(mrow, x)))
        rows.append(row)
    return bpp, pal, rows


def parse_ico(name):
    data = read(name)
    reserved, kind, count = struct.unpack_from("<HHH", data)
    assert reserved == 0
    images = []
    for i in range(count):
        w, h, colors, _, planes, bits, size, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        assert off + size <= len(data), name
        bpp, pal, rows = parse_dib(data[off:off + size], w, h)
        images.append(dict(w=w, h=h, bpp=bpp, pal=pal, rows=rows, colors=colors, planes=planes,
                           bits=bits))
    return kind, images


def parse_bmp(name):
    data = read(name)
    magic, size, _, _, off = struct.unpack_from("<2sIHHI", data)
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    assert (magic, size, hsize, planes, bpp, comp) == (b"BM", len(data), 40, 1, 24, 0)
    stride = (w * 3 + 3) & ~3
    pixels = [[tuple(data[off + stride * (h - 1 - y) + 3 * x + k] for k in (2, 1, 0))
               for x in range(w)] for y in range(h)]
    return w, h, pixels


ICON_SETS = {
    "kestrane.ico": {(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (32, 32), (16, 32)},
    "setup.ico": {(16, 4), (16, 8), (16, 32)},
    "setup_finish.ico": {(32, 4), (32, 8), (32, 32)},
}
for n in range(1, 7):
    ICON_SETS["package%d.ico" % n] = {(48, 32), (32, 32), (16, 32), (32, 8), (16, 8)}


class IconTest(unittest.TestCase):
    def test_each_icon_holds_exactly_its_images(self):
        for name, want in ICON_SETS.items():
            kind, images = parse_ico(name)
            self.assertEqual(kind, 1, name)
            got = [(im["w"], im["bpp"]) for im in images]
            self.assertEqual(sorted(got), sorted(want), name)
            for im in images:
                self.assertEqual((im["planes"], im["bits"]), (1, im["bpp"]), name)
                self.assertEqual(im["colors"], 16 if im["bpp"] == 4 else 0, name)

    def test_masks_agree_with_colours(self):
        for name in ICON_SETS:
            for im in parse_ico(name)[1]:
                where = "%s %dx%d %d bpp" % (name, im["w"], im["h"], im["bpp"])
                if im["bpp"] == 4:
                    self.assertEqual(im["pal"], VGA, where)
                pixels = [p for row in im["rows"] for p in row]
                # A masked pixel must carry black, or it would be inverted onto the screen.
                for col, masked in pixels:
                    if im["bpp"] == 32:
                        self.assertEqual(masked, 1 if col[3] == 0 else 0, where)
                        if masked:
                            self.assertEqual(col, (0, 0, 0, 0), where)
                    elif masked:
                        self.assertEqual(im["pal"][col], (0, 0, 0), where)
                # Something is drawn, and not the whole square.
                opaque = sum(1 for _, m in pixels if not m)
                self.assertTrue(0 < opaque < len(pixels), where)


class CursorTest(unittest.TestCase):
    def test_hand_points_with_its_hot_spot(self):
        kind, images = parse_ico("hand.cur")
        self.assertEqual((kind, len(images)), (2, 1))
        im = images[0]
        self.assertEqual((im["w"], im["h"], im["bpp"]), (32, 32, 1))
        self.assertEqual((im["planes"], im["bits"]), (5, 0))  # hot spot x, y
        colour, masked = im["rows"][0][5]
        self.assertEqual((im["pal"][colour], masked), ((0, 0, 0), 0), "fingertip at the hot spot")
        # Above the finger's first row there is nothing; left of it the top row is clear.
        self.assertTrue(all(m for _, m in im["rows"][0][:5]))


class BitmapTest(unittest.TestCase):
    def test_sizes(self):
        self.assertEqual(parse_bmp("setup_background.bmp")[:2], (450, 360))
        self.assertEqual(parse_bmp("setup_logo.bmp")[:2], (204, 58))

    def test_logo_leaves_the_byline_area_clear(self):
        _, _, px = parse_bmp("setup_logo.bmp")
        for y in range(44, 56):
            for x in range(124, 190):
                self.assertEqual(px[y][x], (255, 255, 255), (x, y))

    def test_chooser_pictures_show_the_package_icons_on_white(self):
        for n in range(1, 7):
            w, h, px = parse_bmp("chooser%d.bmp" % n)
            self.assertEqual((w, h), (44 if n in (2, 5) else 47, 46))
            icon = [im for im in parse_ico("package%d.ico" % n)[1]
                    if (im["w"], im["bpp"]) == (32, 32)][0]
            x0, y0 = (w - 32) // 2, (h - 32) // 2
            for y in range(h):
                for x in range(w):
                    if x0 <= x < x0 + 32 and y0 <= y < y0 + 32:
                        r, g, b, a = icon["rows"][y - y0][x - x0][0]
                        want = tuple((c * a + 255 * (255 - a)) / 255 for c in (r, g, b))
                    else:
                        want = (255, 255, 255)
                    for got_c, want_c in zip(px[y][x], want):
                        self.assertLessEqual(abs(got_c - want_c), 1, (n, x, y))


if __name__ == "__main__":
    unittest.main()
