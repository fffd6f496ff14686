#!/usr/bin/env python3
"""Writes PowerPoint 97-2003 presentations (.ppt) from scratch, deterministically.

    make_ppt.py --tour OUT.ppt                 the bundled sample presentation
    make_ppt.py OUT.ppt [options]              a generated deck (see --help)

Only the Python standard library is used, so the files can be rebuilt on any machine.
"""

import argparse
import hashlib
import math
import random
import struct
import sys
import zlib

# Master units: 576 per inch. 4:3 is 10 x 7.5 in, 16:9 is 13.333 x 7.5 in.
SLIDE_4_3 = (5760, 4320)
SLIDE_16_9 = (7680, 4320)
MIB = 1024 * 1024
# A drawing's number travels in a 12-bit field; the masters take the first ones.
MAX_SLIDES = 4000

# ---------------------------------------------------------------------------------------------
# Records


def rec(rtype, payload=b"", ver=0, inst=0):
    return struct.pack("<HHI", (inst << 4) | ver, rtype, len(payload)) + payload


def cont(rtype, children, inst=0):
    return rec(rtype, b"".join(children), 0xF, inst)


RT_DOCUMENT = 0x03E8
RT_DOCUMENT_ATOM = 0x03E9
RT_END_DOCUMENT = 0x03EA
RT_SLIDE = 0x03EE
RT_SLIDE_ATOM = 0x03EF
RT_NOTES = 0x03F0
RT_NOTES_ATOM = 0x03F1
RT_ENVIRONMENT = 0x03F2
RT_SLIDE_PERSIST = 0x03F3
RT_MAIN_MASTER = 0x03F8
RT_SS_SLIDE_INFO = 0x03F9
RT_SS_DOC_INFO = 0x0401
RT_DRAWING_GROUP = 0x040B
RT_DRAWING = 0x040C
RT_FONT_COLLECTION = 0x07D5
RT_COLOR_SCHEME = 0x07F0
RT_PLACEHOLDER = 0x0BC3
RT_OUTLINE_TEXT_REF = 0x0F9E
RT_TEXT_HEADER = 0x0F9F
RT_TEXT_CHARS = 0x0FA0
RT_STYLE_TEXT_PROP = 0x0FA1
RT_TEXT_MASTER_STYLE = 0x0FA3
RT_TEXT_CF_EXCEPTION = 0x0FA4
RT_TEXT_PF_EXCEPTION = 0x0FA5
RT_TEXT_BYTES = 0x0FA8
RT_TEXT_SI_DEFAULTS = 0x0FA9
RT_FONT_ENTITY = 0x0FB7
RT_SLWT = 0x0FF0
RT_USER_EDIT = 0x0FF5
RT_CURRENT_USER = 0x0FF6
RT_PERSIST_DIRECTORY = 0x1772

DGG_CONTAINER = 0xF000
BSTORE_CONTAINER = 0xF001
DG_CONTAINER = 0xF002
SPGR_CONTAINER = 0xF003
SP_CONTAINER = 0xF004
FDGG = 0xF006
FBSE = 0xF007
FDG = 0xF008
FSPGR = 0xF009
FSP = 0xF00A
FOPT = 0xF00B
CLIENT_TEXTBOX = 0xF00D
CLIENT_ANCHOR = 0xF010
CLIENT_DATA = 0xF011
SPLIT_MENU_COLORS = 0xF11E
BLIP_JPEG = 0xF01D
BLIP_PNG = 0xF01E

# Shape types
SPT_RECT = 1
SPT_ROUND_RECT = 2
SPT_ELLIPSE = 3
SPT_RIGHT_ARROW = 13
SPT_CHEVRON = 55
SPT_PICTURE = 75
SPT_TEXTBOX = 202

# Text types, placeholder ids and layouts
TX_TITLE, TX_BODY, TX_NOTES, TX_OTHER, TX_CENTER_BODY, TX_CENTER_TITLE = 0, 1, 2, 4, 5, 6
TX_HALF_BODY, TX_QUARTER_BODY = 7, 8
PT_MASTER_TITLE, PT_MASTER_BODY = 1, 2
PT_MASTER_NOTES_IMAGE, PT_MASTER_NOTES_BODY = 5, 6
PT_TITLE, PT_BODY, PT_CENTER_TITLE, PT_SUBTITLE = 13, 14, 15, 16
SL_TITLE_SLIDE, SL_TITLE_BODY, SL_TITLE_ONLY, SL_BLANK = 0, 1, 7, 16

MASTER_ID = 0x80000000
FIRST_SLIDE_ID = 256
POWERPOINT_CLSID = bytes.fromhex("108d81649b4fcf1186ea00aa00b929e8")


def rgb(hexstr):
    return tuple(int(hexstr[i : i + 2], 16) for i in (0, 2, 4))


def colorref(c):
    """OfficeArt colour: red, green, blue, flags."""
    return c[0] | (c[1] << 8) | (c[2] << 16)


def color_index(c):
    """Text colour: an RGB value, or a colour-scheme slot when given an int."""
    if isinstance(c, int):
        return struct.pack("<BBBB", 0, 0, 0, c)
    return struct.pack("<BBBB", c[0], c[1], c[2], 0xFE)


# ---------------------------------------------------------------------------------------------
# Text formatting


def pf_exception(bullet=None, align=None, left=None, indent=None, space_before=None,
                 line_spacing=None, bullet_color=None, bullet_size=None, first_level=False):
    """Paragraph properties; None leaves a property to the master.

    Readers differ on the masks of a master style's first level: some take the margins from
    the tab-size and font-alignment bits. Stating margins, alignment, tab size, font alignment
    and wrapping together reads the same either way; later levels never state the tab size."""
    masks, body = 0, b""
    if bullet is not None:
        masks |= 0x01 | 0x02  # hasBullet, bulletHasFont
        flags = 0x1 if bullet else 0
        if bullet_color is not None:
            masks |= 0x04 | 0x20
            flags |= 0x4
        if bullet_size is not None:
            masks |= 0x08 | 0x40
            flags |= 0x8
        body += struct.pack("<H", flags)
        if bullet:
            masks |= 0x80 | 0x10
            body += struct.pack("<HH", ord(bullet), 0)
        if bullet_size is not None:
            body += struct.pack("<h", bullet_size)
        if bullet_color is not None:
            body += color_index(bullet_color)
    if align is not None:
        masks |= 1 << 11
        body += struct.pack("<H", align)
    if line_spacing is not None:
        masks |= 1 << 12
        body += struct.pack("<h", line_spacing)
    if space_before is not None:
        masks |= 1 << 13
        body += struct.pack("<h", space_before)
    if left is not None:
        masks |= 1 << 8
        body += struct.pack("<h", left)
    if indent is not None:
        masks |= 1 << 10
        body += struct.pack("<h", indent)
    if first_level:
        assert None not in (align, left, indent)
        masks |= (1 << 15) | (1 << 16) | (7 << 17)
        body += struct.pack("<hHH", 576, 0, 0)
    return struct.pack("<I", masks) + body


def cf_exception(size=None, color=None, bold=None, italic=None, font=None):
    masks, body = 0, b""
    if bold is not None or italic is not None:
        style = 0
        if bold is not None:
            masks |= 0x1
            style |= 0x1 if bold else 0
        if italic is not None:
            masks |= 0x2
            style |= 0x2 if italic else 0
        body += struct.pack("<H", style)
    if font is not None:
        masks |= 1 << 16
        body += struct.pack("<H", font)
    if size is not None:
        masks |= 1 << 17
        body += struct.pack("<H", size)
    if color is not None:
        masks |= 1 << 18
        body += color_index(color)
    return struct.pack("<I", masks) + body


class Para:
    def __init__(self, text, level=0, size=None, color=None, bold=None, align=None, bullet=None):
        self.text, self.level = text, level
        self.cf = dict(size=size, color=color, bold=bold)
        self.pf = dict(align=align, bullet=bullet)


def paras(items):
    out = []
    for it in items:
        if isinstance(it, Para):
            out.append(it)
        elif isinstance(it, tuple):
            out.append(Para(it[1], level=it[0]))
        else:
            out.append(Para(it))
    return out


def text_records(text_type, plist, index=0):
    """TextHeaderAtom, the characters, and one paragraph and one character run per paragraph.
    In the slide list, the header's instance is the text's index on its slide: shapes that only
    refer to their text find it by that number."""
    text = "\r".join(p.text for p in plist)
    if all(ord(ch) < 0x100 for ch in text):
        chars = rec(RT_TEXT_BYTES, text.encode("latin-1"))
    else:
        chars = rec(RT_TEXT_CHARS, text.encode("utf-16-le"))
    pf_runs, cf_runs = b"", b""
    for i, p in enumerate(plist):
        # Every paragraph counts its mark; the last one counts the implied final mark.
        n = len(p.text) + 1
        pf_runs += struct.pack("<IH", n, p.level) + pf_exception(**p.pf)
        cf_runs += struct.pack("<I", n) + cf_exception(**p.cf)
    return [rec(RT_TEXT_HEADER, struct.pack("<I", text_type), 0, index), chars,
            rec(RT_STYLE_TEXT_PROP, pf_runs + cf_runs)]


def master_style(inst, levels):
    """TextMasterStyleAtom: (pf, cf) per indent level."""
    body = struct.pack("<H", len(levels))
    for i, (pf, cf) in enumerate(levels):
        if inst >= TX_CENTER_BODY:
            body += struct.pack("<H", i)
        body += pf + cf
    return rec(RT_TEXT_MASTER_STYLE, body, 0, inst)


# ---------------------------------------------------------------------------------------------
# Pictures


def png_bytes(width, height, rows, level=9):
    """rows: RGB bytes, top to bottom."""

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    stride = width * 3
    raw = bytearray()
    for y in range(height):
        raw += b"\0" + rows[y * stride:(y + 1) * stride]
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0,
                                                               0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), level)) + chunk(b"IEND", b""))


def noise_png(rng, nbytes):
    """An incompressible PNG of about nbytes."""
    width = 1024
    height = max(1, nbytes // (width * 3 + 1))
    return png_bytes(width, height, rng.randbytes(width * 3 * height), level=1)


class Canvas:
    """A small RGB raster drawn at 3x and reduced, so edges come out smooth."""
    SS = 3

    def __init__(self, width, height, bg):
        self.w, self.h = width * self.SS, height * self.SS
        self.out_w, self.out_h = width, height
        self.px = bytearray(bytes(bg) * (self.w * self.h))

    def span(self, y, x0, x1, c):
        x0, x1 = max(0, int(round(x0))), min(self.w, int(round(x1)))
        if 0 <= y < self.h and x1 > x0:
            i = (y * self.w + x0) * 3
            self.px[i:i + (x1 - x0) * 3] = bytes(c) * (x1 - x0)

    def polygon(self, pts, c):
        s = self.SS
        pts = [(x * s, y * s) for x, y in pts]
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            yc = y + 0.5
            xs = []
            for (xa, ya), (xb, yb) in zip(pts, pts[1:] + pts[:1]):
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                self.span(y, a, b, c)

    def rect(self, x, y, w, h, c):
        self.polygon([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], c)

    def ellipse(self, cx, cy, rx, ry, c, steps=96):
        self.polygon([(cx + rx * math.cos(2 * math.pi * i / steps),
                       cy + ry * math.sin(2 * math.pi * i / steps)) for i in range(steps)], c)

    def round_rect(self, x, y, w, h, r, c):
        pts = []
        for cx, cy, a0 in ((x + w - r, y + r, -90), (x + w - r, y + h - r, 0),
                           (x + r, y + h - r, 90), (x + r, y + r, 180)):
            for i in range(9):
                a = math.radians(a0 + i * 90 / 8)
                pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        self.polygon(pts, c)

    def line(self, x0, y0, x1, y1, width, c):
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy) or 1
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        self.polygon([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy), (x1 - ox, y1 - oy),
                      (x0 - ox, y0 - oy)], c)

    def rows(self):
        s, w = self.SS, self.w
        out = bytearray(self.out_w * self.out_h * 3)
        px, n = self.px, s * s
        o = 0
        for y in range(self.out_h):
            base = y * s * w
            for x in range(self.out_w):
                r = g = b = 0
                for dy in range(s):
                    i = (base + dy * w + x * s) * 3
                    for _ in range(s):
                        r += px[i]
                        g += px[i + 1]
                        b += px[i + 2]
                        i += 3
                out[o] = r // n
                out[o + 1] = g // n
                out[o + 2] = b // n
                o += 3
        return bytes(out)

    def png(self):
        return png_bytes(self.out_w, self.out_h, self.rows())


def _zigzag():
    order = sorted(((x, y) for x in range(8) for y in range(8)),
                   key=lambda p: (p[0] + p[1], p[1] if (p[0] + p[1]) % 2 else p[0]))
    return [y * 8 + x for x, y in order]


ZIGZAG = _zigzag()
Q_LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57,
          69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64,
          81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
Q_CHROMA = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
            99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32
DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D], bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f0"
    "2433627282090a161718191a25262728292a3435363738393a434445464748494a"
    "535455565758595a636465666768696a737475767778797a838485868788898a92"
    "939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8"
    "c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa"))
AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0"
    "156272d10a162434e125f11718191a262728292a35363738393a434445464748"
    "494a535455565758595a636465666768696a737475767778797a828384858687"
    "88898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3"
    "c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa"))


def _huff_codes(table):
    bits, vals = table
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def jpeg_bytes(width, height, rows, quality=88):
    """A baseline JPEG (YCbCr 4:4:4, the usual Huffman tables)."""

    def scaled(q):
        f = 5000 // quality if quality < 50 else 200 - quality * 2
        return [min(255, max(1, (v * f + 50) // 100)) for v in q]

    qt = [scaled(Q_LUMA), scaled(Q_CHROMA)]
    cos_t = [[(math.sqrt(0.125) if u == 0 else 0.5) * math.cos((2 * x + 1) * u * math.pi / 16)
              for x in range(8)] for u in range(8)]
    huff = [(_huff_codes(DC_LUMA), _huff_codes(AC_LUMA)),
            (_huff_codes(DC_CHROMA), _huff_codes(AC_CHROMA))]
    out = bytearray()
    acc, nacc = 0, 0

    def put(code, length):
        nonlocal acc, nacc
        acc = (acc << length) | code
        nacc += length
        while nacc >= 8:
            nacc -= 8
            b = (acc >> nacc) & 0xFF
            out.append(b)
            if b == 0xFF:
                out.append(0)
        acc &= (1 << nacc) - 1

    def put_value(v, codes, extra_sym=0):
        size = abs(v).bit_length()
        code, length = codes[extra_sym | size]
        put(code, length)
        if size:
            put(v if v > 0 else v + (1 << size) - 1, size)

    planes = [bytearray(width * height) for _ in range(3)]
    for i in range(width * height):
        r, g, b = rows[3 * i], rows[3 * i + 1], rows[3 * i + 2]
        planes[0][i] = min(255, max(0, int(0.299 * r + 0.587 * g + 0.114 * b + 0.5)))
        planes[1][i] = min(255, max(0, int(128 - 0.168736 * r - 0.331264 * g + 0.5 * b + 0.5)))
        planes[2][i] = min(255, max(0, int(128 + 0.5 * r - 0.418688 * g - 0.081312 * b + 0.5)))
    prev = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for comp in range(3):
                plane, t = planes[comp], 0 if comp == 0 else 1
                blk = [plane[min(height - 1, by + y) * width + min(width - 1, bx + x)] - 128
                       for y in range(8) for x in range(8)]
                tmp = [sum(cos_t[u][x] * blk[y * 8 + x] for x in range(8))
                       for y in range(8) for u in range(8)]
                coef = [0] * 64
                q = qt[t]
                for v in range(8):
                    cv = cos_t[v]
                    for u in range(8):
                        s = sum(cv[y] * tmp[y * 8 + u] for y in range(8))
                        coef[v * 8 + u] = int(round(s / q[v * 8 + u]))
                dc_codes, ac_codes = huff[t]
                put_value(coef[0] - prev[comp], dc_codes)
                prev[comp] = coef[0]
                run = 0
                for k in range(1, 64):
                    c = coef[ZIGZAG[k]]
                    if c == 0:
                        run += 1
                        continue
                    while run > 15:
                        put(*ac_codes[0xF0])
                        run -= 16
                    put_value(c, ac_codes, run << 4)
                    run = 0
                if run:
                    put(*ac_codes[0x00])
    if nacc:
        put((1 << (8 - nacc)) - 1, 8 - nacc)

    def seg(marker, data):
        return struct.pack(">HH", marker, len(data) + 2) + data

    head = b"\xff\xd8" + seg(0xFFE0, b"JFIF\0\x01\x01\x01\x00\x48\x00\x48\x00\x00")
    for i, q in enumerate(qt):
        head += seg(0xFFDB, bytes([i]) + bytes(q[ZIGZAG[k]] for k in range(64)))
    head += seg(0xFFC0, struct.pack(">BHHB", 8, height, width, 3) +
                bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    for cls_id, table in ((0x00, DC_LUMA), (0x10, AC_LUMA), (0x01, DC_CHROMA), (0x11, AC_CHROMA)):
        head += seg(0xFFC4, bytes([cls_id]) + bytes(table[0]) + bytes(table[1]))
    head += seg(0xFFDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    return head + bytes(out) + b"\xff\xd9"


def photo_rows(rng, width, height):
    """A soft landscape: sky gradient, sun, rolling hills, a little grain."""
    c = Canvas(width, height, (0, 0, 0))
    for y in range(c.h):
        t = y / c.h
        col = (int(40 + 200 * t), int(70 + 110 * t), int(140 + 40 * t))
        c.span(y, 0, c.w, col)
    c.ellipse(width * 0.72, height * 0.42, height * 0.13, height * 0.13, (255, 214, 120))
    for k, (base, amp, col) in enumerate(((0.62, 0.08, (46, 110, 96)), (0.72, 0.06, (26, 163, 154)),
                                          (0.84, 0.05, (31, 42, 68)))):
        ph = rng.random() * 6.28
        pts = [(x, height * base + height * amp * math.sin(x / width * 6.28 * (1 + k) + ph))
               for x in range(0, width + 1, 4)]
        c.polygon(pts + [(width, height), (0, height)], col)
    rows = bytearray(c.rows())
    for i in range(0, len(rows), 7):
        rows[i] = max(0, min(255, rows[i] + rng.randint(-6, 6)))
    return bytes(rows)


class Blip:
    def __init__(self, kind, data):
        self.kind, self.data = kind, data  # kind: "png" or "jpeg"
        self.uid = hashlib.md5(data).digest()
        self.refs = 0

    def pixels(self):
        """Width and height, read back from the picture."""
        if self.kind == "png":
            return struct.unpack(">II", self.data[16:24])
        i = 2
        while i + 9 < len(self.data):
            marker, length = struct.unpack(">HH", self.data[i:i + 4])
            if marker in (0xFFC0, 0xFFC1, 0xFFC2):
                h, w = struct.unpack(">HH", self.data[i + 5:i + 9])
                return w, h
            i += 2 + length
        return 4, 3


# ---------------------------------------------------------------------------------------------
# Slides


class Shape:
    """One drawing object. kind: rect, round, ellipse, arrow, chevron, text, picture,
    or a placeholder ("title", "body", "ctitle", "subtitle")."""

    def __init__(self, kind, box, fill=None, line=None, paras=None, text_type=TX_OTHER,
                 anchor=1, blip=None, margins=None):
        self.kind, self.box = kind, box  # box: left, top, width, height in master units
        self.fill, self.line, self.paras, self.text_type = fill, line, paras, text_type
        self.anchor, self.blip, self.margins = anchor, blip, margins


class Slide:
    def __init__(self, layout=SL_TITLE_BODY, background=None, master_objects=True, hidden=False,
                 advance_ms=None):
        self.layout, self.background = layout, background
        self.master_objects, self.hidden, self.advance_ms = master_objects, hidden, advance_ms
        self.shapes = []

    def add(self, shape):
        self.shapes.append(shape)
        return shape


class Deck:
    def __init__(self, size=SLIDE_4_3, title="", author="kestrane"):
        self.size, self.title, self.author = size, title, author
        self.slides = []
        self.blips = []
        self.loop = False
        self.use_timings = False
        self.outline_refs = False  # placeholder text kept only in the slide list
        self.scheme = [rgb("FFFFFF"), rgb("1F2A44"), rgb("8A94A6"), rgb("1F2A44"),
                       rgb("1AA39A"), rgb("F28C28"), rgb("2E75B6"), rgb("7F7F7F")]
        self.master_bg = rgb("F6F8FB")
        self.accent = rgb("1AA39A")

    def blip(self, kind, data):
        b = Blip(kind, data)
        self.blips.append(b)
        return b

    # Layout helpers for the usual title + body slide.
    def title_box(self):
        w, _ = self.size
        return (360, 240, w - 720, 840)

    def body_box(self):
        w, h = self.size
        return (360, 1320, w - 720, h - 1320 - 420)

    def title_body(self, title, bullets, **kw):
        s = Slide(SL_TITLE_BODY, **kw)
        s.add(Shape("title", self.title_box(), paras=paras([title]), text_type=TX_TITLE))
        if bullets:
            s.add(Shape("body", self.body_box(), paras=paras(bullets), text_type=TX_BODY,
                        anchor=0))
        self.slides.append(s)
        return s

    def title_only(self, title, **kw):
        s = Slide(SL_TITLE_ONLY, **kw)
        s.add(Shape("title", self.title_box(), paras=paras([title]), text_type=TX_TITLE))
        self.slides.append(s)
        return s


# ---------------------------------------------------------------------------------------------
# The PowerPoint Document stream


def fopt(props):
    """props: list of (id, value) or (id, value, complex bytes), sorted by id."""
    fixed, extra = b"", b""
    for p in sorted(props, key=lambda p: p[0] & 0x3FFF):
        pid, val = p[0], p[1]
        if len(p) > 2:
            pid |= 0x8000
            val = len(p[2])
            extra += p[2]
        fixed += struct.pack("<HI", pid, val)
    return rec(FOPT, fixed + extra, 3, len(props))


def fill_props(fill):
    if fill is None:
        return [(0x01BF, 0x00100000)]
    return [(0x0180, 0), (0x0181, colorref(fill)), (0x01BF, 0x00100010)]


def line_props(line):
    if line is None:
        return [(0x01FF, 0x00080000)]
    color, width = line
    return [(0x01C0, colorref(color)), (0x01CB, width), (0x01FF, 0x00080008)]


def anchor_rec(box):
    l, t, w, h = box
    return rec(CLIENT_ANCHOR, struct.pack("<hhhh", t, l, l + w, t + h))


def placeholder_rec(position, ptype):
    return cont(CLIENT_DATA, [rec(RT_PLACEHOLDER, struct.pack("<iBBH", position, ptype, 0, 0))])


class Builder:
    def __init__(self, deck):
        self.deck = deck
        self.clusters = []  # (dgid, shapes used) for the drawing group

    def drawing(self, dgid, shapes, background):
        """shapes: (shape type, flags, records after the FSP) for each shape. Shape ids are
        dgid * 1024 + n: one id cluster per drawing, the group shape first."""
        base = dgid * 1024
        spid = base
        group = [cont(SP_CONTAINER, [rec(FSPGR, struct.pack("<iiii", 0, 0, 0, 0), 1),
                                     rec(FSP, struct.pack("<II", base, 0x5), 2, 0)])]
        for spt, flags, rest in shapes:
            spid += 1
            group.append(cont(SP_CONTAINER, [rec(FSP, struct.pack("<II", spid, flags), 2, spt)] +
                              rest))
        parts = [None, cont(SPGR_CONTAINER, group)]
        if background is not None:
            spid += 1
            parts.append(cont(SP_CONTAINER, [
                rec(FSP, struct.pack("<II", spid, 0xC00), 2, SPT_RECT),
                fopt(fill_props(background) + [(0x01FF, 0x00080000), (0x033F, 0x00010001)])]))
        parts[0] = rec(FDG, struct.pack("<II", spid - base + 1, spid), 0, dgid)
        self.clusters.append((dgid, spid - base + 1))
        return cont(RT_DRAWING, [cont(DG_CONTAINER, parts)])

    def shape_records(self, sh, position, text_out):
        """The records of one shape; placeholder text also goes to text_out (the slide list)."""
        kind = sh.kind
        props, rest = [], []
        placeholder = {"title": PT_TITLE, "body": PT_BODY, "ctitle": PT_CENTER_TITLE,
                       "subtitle": PT_SUBTITLE, "mtitle": PT_MASTER_TITLE,
                       "mbody": PT_MASTER_BODY, "nimage": PT_MASTER_NOTES_IMAGE,
                       "nbody": PT_MASTER_NOTES_BODY}.get(kind)
        spt = {"rect": SPT_RECT, "round": SPT_ROUND_RECT, "ellipse": SPT_ELLIPSE,
               "arrow": SPT_RIGHT_ARROW, "chevron": SPT_CHEVRON, "text": SPT_TEXTBOX,
               "picture": SPT_PICTURE}.get(kind, SPT_RECT)
        if sh.paras is not None:
            props.append((0x0080, 0))
            if sh.margins is not None:
                props += [(0x0081 + i, m) for i, m in enumerate(sh.margins)]
            props += [(0x0087, sh.anchor)]
        if kind == "picture":
            sh.blip.refs += 1
            props += [(0x4104, self.deck.blips.index(sh.blip) + 1)]
            props += fill_props(None) + line_props(sh.line)
        elif kind == "nimage":
            props += fill_props(None) + line_props(None)
        else:
            props += fill_props(sh.fill) + line_props(sh.line)
        rest.append(fopt(props))
        rest.append(anchor_rec(sh.box))
        if placeholder is not None:
            rest.append(placeholder_rec(position, placeholder))
        if sh.paras is not None:
            recs = text_records(sh.text_type, sh.paras)
            if placeholder in (PT_TITLE, PT_BODY, PT_CENTER_TITLE, PT_SUBTITLE):
                index = len(text_out)
                if self.deck.outline_refs:
                    rest.append(cont(CLIENT_TEXTBOX, [rec(RT_OUTLINE_TEXT_REF,
                                                          struct.pack("<i", index))]))
                else:
                    rest.append(cont(CLIENT_TEXTBOX, recs))
                text_out.append(text_records(sh.text_type, sh.paras, index))
            else:
                rest.append(cont(CLIENT_TEXTBOX, recs))
        return (spt, 0xA00, rest)

    def slide_atom(self, layout, placeholders, master_id, notes_id, flags, ver=2):
        ph = bytes((placeholders + [0] * 8)[:8])
        return rec(RT_SLIDE_ATOM, struct.pack("<I", layout) + ph +
                   struct.pack("<IIHH", master_id, notes_id, flags, 0), ver)

    def scheme_atom(self):
        return rec(RT_COLOR_SCHEME, b"".join(struct.pack("<BBBB", *c, 0)
                                             for c in self.deck.scheme), 0, 1)

    def master(self):
        d = self.deck
        w, h = d.size
        shapes = [
            Shape("mtitle", d.title_box(), paras=paras(["Click to edit Master title style"]),
                  text_type=TX_TITLE),
            Shape("mbody", d.body_box(), text_type=TX_BODY, anchor=0, paras=paras(
                ["Click to edit Master text styles", (1, "Second level"), (2, "Third level"),
                 (3, "Fourth level"), (4, "Fifth level")])),
            Shape("rect", (0, 0, 150, h), fill=d.scheme[1]),
            Shape("rect", (360, 1110, 1440, 48), fill=d.accent),
        ]
        recs = [self.shape_records(s, i, []) for i, s in enumerate(shapes)]
        title_cf = cf_exception(size=40, color=3, bold=True, italic=False, font=0)
        # leftMargin is where the text starts, indent where the bullet sits. Styles from the
        # centred title on state every level in the later levels' form.
        def body_pf(inst):
            return [pf_exception(bullet=ch, left=540 * i + 324, indent=540 * i, space_before=20,
                                 bullet_color=4 if i < 2 else 2, bullet_size=100, align=0,
                                 first_level=(i == 0 and inst < TX_CENTER_BODY))
                    for i, ch in enumerate("\u2022\u2013\u2022\u2013\u00bb")]

        body_cf = [cf_exception(size=s, color=1, bold=False, italic=False, font=0)
                   for s in (28, 24, 20, 20, 20)]
        plain_pf = pf_exception(bullet="", align=0, space_before=0, left=0, indent=0,
                                first_level=True)
        center_pf = pf_exception(bullet="", align=1, space_before=0, left=0, indent=0)
        later_pf = pf_exception(bullet="", align=0, space_before=0)
        styles = [
            master_style(TX_TITLE, [(plain_pf, title_cf)]),
            master_style(TX_BODY, list(zip(body_pf(TX_BODY), body_cf))),
            master_style(TX_NOTES, [(plain_pf, cf_exception(size=12, color=1, font=0))] +
                         [(later_pf, cf_exception(size=12, color=1, font=0))] * 4),
            master_style(TX_OTHER, [(plain_pf, cf_exception(size=18, color=1, font=0))] +
                         [(later_pf, cf_exception(size=18, color=1, font=0))] * 4),
            master_style(TX_CENTER_BODY, [(center_pf, cf_exception(size=28, color=2, font=0))]),
            master_style(TX_CENTER_TITLE, [(center_pf, title_cf)]),
            master_style(TX_HALF_BODY, list(zip(body_pf(TX_HALF_BODY), body_cf))),
            master_style(TX_QUARTER_BODY, list(zip(body_pf(TX_QUARTER_BODY), body_cf))),
        ]
        return cont(RT_MAIN_MASTER, [
            self.slide_atom(SL_TITLE_BODY, [PT_MASTER_TITLE, PT_MASTER_BODY], 0, 0, 0),
            *styles,
            self.drawing(1, recs, d.master_bg),
            self.scheme_atom(),
        ])

    def notes_master(self):
        w, h = 4320, 5760
        shapes = [Shape("nimage", (720, 480, w - 1440, (w - 1440) * 3 // 4)),
                  Shape("nbody", (576, 3000, w - 1152, 2300), text_type=TX_NOTES, anchor=0,
                        paras=paras(["Click to edit Master text styles"]))]
        recs = [self.shape_records(s, i, []) for i, s in enumerate(shapes)]
        return cont(RT_NOTES, [rec(RT_NOTES_ATOM, struct.pack("<IHH", 0, 0x7, 0), 1),
                               self.drawing(2, recs, rgb("FFFFFF")), self.scheme_atom()])

    def slide(self, index, s, texts):
        layout_ph = {SL_TITLE_SLIDE: [PT_CENTER_TITLE, PT_SUBTITLE], SL_TITLE_BODY: [PT_TITLE,
                                                                                  PT_BODY],
                     SL_TITLE_ONLY: [PT_TITLE], SL_BLANK: []}[s.layout]
        flags = 0x1 if s.master_objects else 0
        flags |= 0x2  # the master's colour scheme
        if s.background is None:
            flags |= 0x4
        recs, pos = [], 0
        for sh in s.shapes:
            recs.append(self.shape_records(sh, pos, texts))
            if sh.kind in ("title", "body", "ctitle", "subtitle"):
                pos += 1
        parts = [self.slide_atom(s.layout, layout_ph, MASTER_ID, 0, flags)]
        if s.hidden or s.advance_ms is not None:
            ss_flags = 0x1  # a click still advances
            if s.hidden:
                ss_flags |= 0x4
            if s.advance_ms is not None:
                ss_flags |= 0x400
            parts.append(rec(RT_SS_SLIDE_INFO, struct.pack("<IIBBHB3s", s.advance_ms or 0, 0, 0,
                                                           0, ss_flags, 1, b"\0\0\0")))
        parts.append(self.drawing(index + 3, recs, s.background))
        parts.append(self.scheme_atom())
        return cont(RT_SLIDE, parts)

    def environment(self):
        fonts = []
        for i, (name, family) in enumerate((("Arial", 0x22), ("Courier New", 0x31))):
            face = name.encode("utf-16-le").ljust(64, b"\0")
            fonts.append(rec(RT_FONT_ENTITY, face + bytes([0, 0, 4, family]), 0, i))
        return cont(RT_ENVIRONMENT, [
            cont(RT_FONT_COLLECTION, fonts),
            rec(RT_TEXT_CF_EXCEPTION, cf_exception(size=18, color=1, bold=False, italic=False,
                                                   font=0)),
            rec(RT_TEXT_PF_EXCEPTION, b"\0\0" + pf_exception(bullet="", align=0)),
            # Spelling checked, language English (United States), no alternative language.
            rec(RT_TEXT_SI_DEFAULTS, struct.pack("<IHHH", 0x7, 0x2, 0x0409, 0)),
            master_style(TX_OTHER, [(pf_exception(bullet="", align=0, space_before=0, left=0,
                                                  indent=0, first_level=True),
                                     cf_exception(size=18, color=1, font=0))] +
                         [(pf_exception(bullet="", align=0, space_before=0),
                           cf_exception(size=18, color=1, font=0))] * 4),
        ])

    def drawing_group(self, nshapes):
        d = self.deck
        bse = []
        offset = 0
        for b in d.blips:
            size = sum(len(c) for c in self.blip_record(b))
            bt = 5 if b.kind == "jpeg" else 6
            bse.append(rec(FBSE, struct.pack("<BB16sHIIIBBBB", bt, bt, b.uid, 0xFF, size, b.refs,
                                             offset, 0, 0, 0, 0), 2, bt))
            offset += size
        clusters = sorted(self.clusters)
        spid_max = max((g * 1024 + n for g, n in clusters), default=1024)
        dgg = struct.pack("<IIII", spid_max, len(clusters) + 1, nshapes, len(clusters))
        dgg += b"".join(struct.pack("<II", g, n) for g, n in clusters)
        parts = [rec(FDGG, dgg)]
        if bse:
            parts.append(cont(BSTORE_CONTAINER, bse, len(bse)))
        parts.append(fopt([(0x00BF, 0x00080008), (0x0181, colorref(d.scheme[4])),
                           (0x01C0, colorref(d.scheme[1]))]))
        parts.append(rec(SPLIT_MENU_COLORS, struct.pack("<IIII", 0x0800000D, 0x0800000C,
                                                         0x08000017, 0x100000F7), 0, 4))
        return cont(RT_DRAWING_GROUP, [cont(DGG_CONTAINER, parts)])

    @staticmethod
    def blip_record(b):
        """The BLIP as two chunks (header, picture), so large pictures are never copied."""
        rtype, inst = (BLIP_JPEG, 0x46A) if b.kind == "jpeg" else (BLIP_PNG, 0x6E0)
        head = b.uid + b"\xff"
        return [struct.pack("<HHI", inst << 4, rtype, len(head) + len(b.data)) + head, b.data]

    def build(self):
        """Returns (PowerPoint Document stream, Pictures chunks, offset of the last edit)."""
        d = self.deck
        for b in d.blips:
            b.refs = 0
        master = self.master()
        notes_master = self.notes_master()
        slides, slide_texts = [], []
        for i, s in enumerate(d.slides):
            texts = []
            slides.append(self.slide(i, s, texts))
            slide_texts.append(texts)

        # Persist ids: 1 document, 2 main master, 3 notes master, 4.. slides.
        slwt = []
        for i, texts in enumerate(slide_texts):
            slwt.append(rec(RT_SLIDE_PERSIST, struct.pack("<IIiII", 4 + i, 0x4, len(texts),
                                                          FIRST_SLIDE_ID + i, 0)))
            for t in texts:
                slwt += t
        master_list = cont(RT_SLWT, [rec(RT_SLIDE_PERSIST, struct.pack("<IIiII", 2, 0, 0,
                                                                       MASTER_ID, 0))], 1)
        nshapes = sum(n for _, n in self.clusters)
        w, h = d.size
        size_type = 0 if d.size == SLIDE_4_3 else 6
        doc_atom = rec(RT_DOCUMENT_ATOM, struct.pack("<iiiiiiIIHHBBBB", w, h, 4320, 5760, 1, 2, 3,
                                                     0, 1, size_type, 0, 0, 0, 1), 1)
        ss_flags = (0x1 if d.use_timings else 0) | (0x80 if d.loop else 0)
        ss_doc = rec(RT_SS_DOC_INFO, struct.pack("<4siHH64sHH", color_index((255, 0, 0)), 300000,
                                                 1, len(d.slides), b"", ss_flags, 0), 1)
        doc = cont(RT_DOCUMENT, [
            doc_atom, self.environment(), self.drawing_group(nshapes), master_list,
            cont(RT_SLWT, slwt, 0), ss_doc, rec(RT_END_DOCUMENT)])

        offsets, pos = [], 0
        for r in [doc, master, notes_master] + slides:
            offsets.append(pos)
            pos += len(r)
        body = [doc, master, notes_master] + slides
        # One run of consecutive ids starting at 1; entries hold 12-bit counts, so split runs.
        pdir = b""
        for start in range(0, len(offsets), 4095):
            chunk = offsets[start:start + 4095]
            pdir += struct.pack("<I", (start + 1) | (len(chunk) << 20))
            pdir += struct.pack("<%dI" % len(chunk), *chunk)
        pdir_rec = rec(RT_PERSIST_DIRECTORY, pdir)
        user_edit_off = pos + len(pdir_rec)
        user_edit = rec(RT_USER_EDIT, struct.pack("<IHBBIIIIHH", FIRST_SLIDE_ID, 0, 0, 3, 0, pos,
                                                  1, len(offsets), 1, 0))
        stream = b"".join(body) + pdir_rec + user_edit
        pictures = [c for b in d.blips for c in self.blip_record(b)]
        return stream, pictures, user_edit_off


def current_user(offset, name="kestrane"):
    n = name.encode("latin-1")
    body = struct.pack("<IIIHHBBH", 0x14, 0xE391C05F, offset, len(n), 0x03F4, 3, 0, 0)
    body += n + struct.pack("<I", 8) + name.encode("utf-16-le")
    return rec(RT_CURRENT_USER, body)


def summary_information(title, author):
    props = [(1, struct.pack("<Ih2x", 2, 1252))]
    for pid, s in ((2, title), (4, author)):
        b = s.encode("cp1252", "replace") + b"\0"
        b += b"\0" * (-len(b) % 4)
        props.append((pid, struct.pack("<II", 30, len(s) + 1) + b))
    head_len = 8 + 8 * len(props)
    table, data = b"", b""
    for pid, v in props:
        table += struct.pack("<II", pid, head_len + len(data))
        data += v
    section = struct.pack("<II", head_len + len(data), len(props)) + table + data
    fmtid = bytes.fromhex("e0859ff2f94f6810ab9108002b27b3d9")
    return struct.pack("<HHI16sI", 0xFFFE, 0, 0x00020006, b"\0" * 16, 1) + fmtid + \
        struct.pack("<I", 48) + section


# ---------------------------------------------------------------------------------------------
# Compound file


FREESECT, ENDOFCHAIN, FATSECT, DIFSECT, NOSTREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, \
    0xFFFFFFFC, 0xFFFFFFFF


def _tree(names):
    """Balanced sibling tree in the container's name order; returns root index, and for each
    name (left, right, colour). Nodes on the deepest level of a tree that is not full are red,
    which keeps the black height equal on every path."""
    order = sorted(range(len(names)), key=lambda i: (len(names[i]), names[i].upper()))
    links = {i: [NOSTREAM, NOSTREAM, 1] for i in range(len(names))}
    depth = {}

    def build(lo, hi, dep):
        if lo >= hi:
            return NOSTREAM
        mid = (lo + hi) // 2
        node = order[mid]
        depth[node] = dep
        links[node][0] = build(lo, mid, dep + 1)
        links[node][1] = build(mid + 1, hi, dep + 1)
        return node

    root = build(0, len(order), 0)
    if names:
        deepest = max(depth.values())
        if len(names) != 2 ** (deepest + 1) - 1:
            for i, dep in depth.items():
                if dep == deepest:
                    links[i][2] = 0
    return root, links


def write_cfb(f, streams):
    """streams: list of (name, data), data as bytes or a list of byte chunks."""
    items = []
    for name, data in streams:
        chunks = data if isinstance(data, list) else [data]
        items.append((name, chunks, sum(len(c) for c in chunks)))

    mini = bytearray()
    minifat = []
    start = {}
    for name, chunks, size in items:
        if 0 < size < 4096:
            n = (size + 63) // 64
            start[name] = len(minifat)
            minifat += [len(minifat) + k + 1 for k in range(n - 1)] + [ENDOFCHAIN]
            mini += b"".join(chunks).ljust(n * 64, b"\0")
        elif size == 0:
            start[name] = ENDOFCHAIN

    ndir = len(items) + 1
    dir_sectors = (ndir + 3) // 4
    minifat_sectors = (len(minifat) * 4 + 511) // 512
    mini_sectors = (len(mini) + 511) // 512
    big = [(name, chunks, size) for name, chunks, size in items if size >= 4096]
    runs = [("dir", dir_sectors), ("minifat", minifat_sectors), ("mini", mini_sectors)]
    runs += [(name, (size + 511) // 512) for name, _, size in big]
    used = sum(n for _, n in runs)
    nfat, ndif = 1, 0
    while True:
        ndif = max(0, (nfat - 109 + 126) // 127)
        need = (used + nfat + ndif + 127) // 128
        if need <= nfat:
            break
        nfat = need

    fat = [FREESECT] * (nfat * 128)
    for i in range(nfat):
        fat[i] = FATSECT
    for i in range(ndif):
        fat[nfat + i] = DIFSECT
    sect = nfat + ndif
    first = {}
    for name, n in runs:
        if n == 0:
            first[name] = ENDOFCHAIN
            continue
        first[name] = sect
        fat[sect:sect + n] = list(range(sect + 1, sect + n)) + [ENDOFCHAIN]
        sect += n
    for name, _, _ in big:
        start[name] = first[name]

    difat = list(range(nfat)) + [FREESECT] * (109 + ndif * 127 - nfat)
    dif_sectors = []
    for k in range(ndif):
        entries = difat[109 + k * 127:109 + (k + 1) * 127]
        nxt = nfat + k + 1 if k + 1 < ndif else ENDOFCHAIN
        dif_sectors.append(struct.pack("<128I", *entries, nxt))

    names = [n for n, _, _ in items]
    root_child, links = _tree(names)
    root_child = root_child + 1 if root_child != NOSTREAM else NOSTREAM

    def entry(name, kind, color, left, right, child, clsid, first_sect, size):
        raw = name.encode("utf-16-le") + b"\0\0"
        return (raw.ljust(64, b"\0") + struct.pack("<HBBIII", len(raw), kind, color, left, right,
                                                   child) +
                clsid + struct.pack("<I8s8sIII", 0, b"", b"", first_sect, size, 0))

    dirs = entry("Root Entry", 5, 1, NOSTREAM, NOSTREAM, root_child, POWERPOINT_CLSID,
                 first["mini"], mini_sectors and len(mini))
    for i, (name, _, size) in enumerate(items):
        left, right, color = links[i]
        left = left + 1 if left != NOSTREAM else NOSTREAM
        right = right + 1 if right != NOSTREAM else NOSTREAM
        dirs += entry(name, 2, color, left, right, NOSTREAM, b"\0" * 16, start[name], size)
    empty = b"\0" * 64 + struct.pack("<HBBIII", 0, 0, 1, NOSTREAM, NOSTREAM, NOSTREAM) + \
        b"\0" * 16 + struct.pack("<I8s8sIII", 0, b"", b"", 0, 0, 0)
    dirs += empty * (dir_sectors * 4 - ndir)

    header = struct.pack("<8s16sHHHHH6sIIIIIIIII", bytes.fromhex("d0cf11e0a1b11ae1"), b"",
                         0x3E, 3, 0xFFFE, 9, 6, b"", 0, nfat, first["dir"], 0, 4096,
                         first["minifat"], minifat_sectors, nfat if ndif else ENDOFCHAIN, ndif)
    header += struct.pack("<109I", *difat[:109])
    f.write(header)
    f.write(struct.pack("<%dI" % len(fat), *fat))
    for s in dif_sectors:
        f.write(s)
    f.write(dirs)

    def pad(n):
        if n % 512:
            f.write(b"\0" * (512 - n % 512))

    mf = struct.pack("<%dI" % len(minifat), *minifat)
    f.write(mf)
    pad(len(mf))
    f.write(mini)
    pad(len(mini))
    for _, chunks, size in big:
        for c in chunks:
            f.write(c)
        pad(size)


def write_ppt(path, deck):
    stream, pictures, edit_off = Builder(deck).build()
    streams = [("Current User", current_user(edit_off)), ("PowerPoint Document", stream)]
    if pictures:
        streams.append(("Pictures", pictures))
    streams.append(("\x05SummaryInformation", summary_information(deck.title, deck.author)))
    with open(path, "wb") as f:
        write_cfb(f, streams)


# ---------------------------------------------------------------------------------------------
# The sample presentation

NAVY, TEAL, ORANGE, SKY = rgb("1F2A44"), rgb("1AA39A"), rgb("F28C28"), rgb("2E75B6")
WHITE, LIGHT = rgb("FFFFFF"), rgb("E8EDF4")


def diagram_png():
    """How a package runs: a parcel, an open folder, a screen showing a slide."""
    W, H = 900, 300
    c = Canvas(W, H, (246, 248, 251))
    # parcel
    c.round_rect(60, 70, 190, 160, 14, (242, 140, 40))
    c.rect(60, 130, 190, 22, (214, 112, 20))
    c.rect(143, 70, 24, 160, (214, 112, 20))
    c.polygon([(155, 70), (120, 40), (130, 34), (155, 60), (180, 34), (190, 40)], (31, 42, 68))
    # folder
    c.round_rect(375, 82, 80, 40, 8, (20, 130, 123))
    c.round_rect(375, 100, 160, 130, 10, (26, 163, 154))
    for k in range(3):
        c.round_rect(395 + k * 40, 130, 28, 36, 4, (255, 255, 255))
        c.rect(401 + k * 40, 140, 16, 3, (26, 163, 154))
        c.rect(401 + k * 40, 148, 16, 3, (26, 163, 154))
    c.polygon([(365, 230), (545, 230), (560, 130), (380, 130)], (31, 180, 170))
    # screen with a slide
    c.round_rect(650, 60, 200, 140, 10, (31, 42, 68))
    c.rect(662, 72, 176, 116, (246, 248, 251))
    c.rect(662, 72, 6, 116, (31, 42, 68))
    c.rect(680, 84, 100, 10, (31, 42, 68))
    c.rect(680, 100, 40, 3, (26, 163, 154))
    c.ellipse(705, 150, 16, 16, (242, 140, 40))
    c.rect(732, 136, 28, 40, (26, 163, 154))
    c.rect(770, 120, 28, 56, (46, 117, 182))
    c.rect(740, 200, 20, 24, (31, 42, 68))
    c.round_rect(705, 222, 90, 12, 5, (31, 42, 68))
    # arrows
    for x0 in (270, 570):
        c.line(x0, 150, x0 + 55, 150, 10, (138, 148, 166))
        c.polygon([(x0 + 50, 135), (x0 + 72, 150), (x0 + 50, 165)], (138, 148, 166))
    return c.png()


def tour_deck():
    d = Deck(SLIDE_4_3, title="kestrane: a quick tour")
    d.use_timings = True
    w, h = d.size

    # 1. Title
    s = Slide(SL_TITLE_SLIDE, background=NAVY, master_objects=False, advance_ms=6000)
    s.add(Shape("ellipse", (w - 1500, -600, 2100, 2100), fill=rgb("243456")))
    s.add(Shape("ellipse", (w - 900, 2900, 1200, 1200), fill=TEAL))
    s.add(Shape("ellipse", (-500, 3300, 1400, 1400), fill=rgb("243456")))
    s.add(Shape("rect", (720, 2340, 1100, 60), fill=ORANGE))
    s.add(Shape("ctitle", (700, 1200, w - 1400, 1080), text_type=TX_CENTER_TITLE, anchor=2,
                paras=[Para("kestrane", size=66, color=WHITE, bold=True, align=0)]))
    s.add(Shape("subtitle", (700, 2500, w - 1400, 800), text_type=TX_CENTER_BODY, anchor=0,
                paras=[Para("One presentation, one program", size=30, color=rgb("9FE3DC"),
                            align=0)]))
    d.slides.append(s)

    # 2. What it does
    d.title_body("What kestrane does", [
        "Turns a PowerPoint 97-2003 presentation into one Windows program",
        (1, "The .ppt and everything needed to show it travel inside a single .exe"),
        "Anyone can start it: the show plays full screen at once",
        (1, "No PowerPoint, no viewer, nothing to install"),
        "When the show ends, the program cleans up after itself",
    ], advance_ms=9000)

    # 3. Four steps
    s = d.title_only("Four steps", advance_ms=9000)
    steps = [("1", "Pick a presentation", TEAL), ("2", "Pick an output file", SKY),
             ("3", "Press Make EXE", ORANGE), ("4", "Hand the .exe to anyone", NAVY)]
    bw, gap, top = 1200, 140, 1600
    x = (w - (4 * bw + 3 * gap)) // 2
    for num, label, col in steps:
        s.add(Shape("ellipse", (x + bw // 2 - 300, top, 600, 600), fill=col,
                    paras=[Para(num, size=36, color=WHITE, bold=True, align=1)]))
        s.add(Shape("round", (x, top + 800, bw, 1000), fill=LIGHT, anchor=1,
                    margins=(45720, 45720, 45720, 45720),
                    paras=[Para(label, size=18, color=NAVY, bold=True, align=1)]))
        if num != "4":
            s.add(Shape("arrow", (x + bw // 2 + 360, top + 200, bw - 720 + gap, 200),
                        fill=rgb("C5CDD9")))
        x += bw + gap
    s.add(Shape("text", (360, 3640, w - 720, 400), anchor=0, paras=[
        Para("Pick one of six icons for your .exe; kestrane remembers your choice.",
             size=16, color=rgb("5A6478"), align=1)]))

    # 4. Picture: how the package runs
    s = d.title_only("On the other machine", advance_ms=9000)
    pic = d.blip("png", diagram_png())
    pw = w - 1080
    ph = pw * 300 // 900
    s.add(Shape("picture", (540, 1380, pw, ph), blip=pic))
    labels = ["It unpacks itself into one folder", "The launcher starts the slide show",
              "The show plays; then everything is cleaned up"]
    cw = pw // 3
    for i, text in enumerate(labels):
        s.add(Shape("text", (540 + i * cw + 60, 1380 + ph + 120, cw - 120, 700), anchor=0,
                    paras=[Para(text, size=18, color=NAVY, align=1)]))

    # 5. Where it helps
    d.title_body("Made for shows on the road", [
        "Conference rooms, kiosks and classrooms you don\u2019t control",
        "Send a presentation that simply plays, with nothing to explain",
        "Slide timings and looping are kept, so a show can run on its own",
    ], advance_ms=9000)

    # 6. Closing
    s = Slide(SL_TITLE_SLIDE, background=NAVY, master_objects=False, advance_ms=8000)
    rng = random.Random(7)
    photo = d.blip("jpeg", jpeg_bytes(480, 270, photo_rows(rng, 480, 270), quality=85))
    s.add(Shape("rect", (w - 2940, 0, 2940, h), fill=rgb("243456")))
    s.add(Shape("picture", (w - 2700, 1080, 2400, 1350), blip=photo, line=(WHITE, 28575)))
    s.add(Shape("ctitle", (540, 1080, 2700, 1000), text_type=TX_CENTER_TITLE, anchor=2,
                paras=[Para("Make your first EXE", size=40, color=WHITE, bold=True, align=0)]))
    s.add(Shape("subtitle", (540, 2200, 2600, 1400), text_type=TX_CENTER_BODY, anchor=0,
                paras=[Para("Open kestrane, pick your presentation and press Make EXE.",
                            size=22, color=rgb("9FE3DC"), align=0),
                       Para("Thank you!", size=22, color=ORANGE, bold=True, align=0)]))
    s.add(Shape("rect", (540, 2110, 900, 50), fill=ORANGE))
    d.slides.append(s)
    return d


# ---------------------------------------------------------------------------------------------
# Generated decks

WORDS = ("slide show program window presentation picture colour screen folder package timing "
         "viewer launcher output file kiosk machine meeting chart result quarter team plan "
         "review budget market growth design build test release support customer product "
         "idea goal step summary agenda question answer detail example sample").split()


def sentence(rng, lo=4, hi=11):
    words = [rng.choice(WORDS) for _ in range(rng.randint(lo, hi))]
    return " ".join(words).capitalize()


def read_outline(path):
    """'# Title' starts a slide; '- text' is a bullet, indented two spaces per level."""
    slides = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                slides.append((line.lstrip("#").strip(), []))
            elif line.strip().startswith("-") and slides:
                level = min(4, (len(line) - len(line.lstrip(" "))) // 2)
                slides[-1][1].append((level, line.strip()[1:].strip()))
    return slides


class Generator:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.deck = Deck(SLIDE_16_9 if args.widescreen else SLIDE_4_3,
                         title=args.title or "Generated presentation")
        self.deck.loop = args.loop
        self.deck.use_timings = args.use_timings or args.advance is not None
        self.deck.outline_refs = args.outline_refs

    def flags(self):
        adv = None
        if self.args.advance is not None:
            adv = int(self.args.advance * 1000)
        return dict(advance_ms=adv)

    def text_slide(self, title=None, bullets=None):
        rng = self.rng
        if title is None:
            title = sentence(rng, 2, 5)
            bullets = []
            for _ in range(self.args.bullets):
                level = 0 if not bullets else rng.choice((0, 0, 1))
                bullets.append((level, sentence(rng)))
        self.deck.title_body(title, bullets, **self.flags())

    def shapes_slide(self):
        rng, d = self.rng, self.deck
        s = d.title_only(sentence(rng, 2, 4), **self.flags())
        w, h = d.size
        cols, rows = rng.randint(2, 4), rng.randint(1, 2)
        cw, ch = (w - 720) // cols, (h - 1320 - 360) // rows
        for r in range(rows):
            for c in range(cols):
                kind = rng.choice(("rect", "ellipse", "round", "chevron"))
                bw, bh = rng.randint(cw // 2, cw - 120), rng.randint(ch // 2, ch - 120)
                x = 360 + c * cw + rng.randint(0, cw - bw)
                y = 1320 + r * ch + rng.randint(0, ch - bh)
                col = rng.choice(d.scheme[4:7] + [NAVY])
                s.add(Shape(kind, (x, y, bw, bh), fill=col,
                            paras=[Para(sentence(rng, 1, 3), size=16, color=WHITE, align=1)]))

    def picture_slide(self, blip):
        d = self.deck
        s = d.title_only(sentence(self.rng, 2, 4), **self.flags())
        w, h = d.size
        box_w, box_h = w - 1440, h - 1320 - 360
        pw, ph = blip.pixels()
        if pw * box_h > ph * box_w:
            fw, fh = box_w, box_w * ph // pw
        else:
            fw, fh = box_h * pw // ph, box_h
        s.add(Shape("picture", (720 + (box_w - fw) // 2, 1320 + (box_h - fh) // 2, fw, fh),
                    blip=blip))

    def drawn_png(self):
        rng = self.rng
        c = Canvas(320, 200, (255, 255, 255))
        for _ in range(12):
            col = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
            c.ellipse(rng.randint(0, 320), rng.randint(0, 200), rng.randint(10, 60),
                      rng.randint(10, 60), col)
        return c.png()

    def jpeg(self):
        return jpeg_bytes(320, 180, photo_rows(self.rng, 320, 180), quality=85)

    def run(self):
        a, d = self.args, self.deck
        outline = read_outline(a.outline) if a.outline else None
        if outline:
            for title, bullets in outline:
                self.text_slide(title, bullets)
        n = min(a.pictures, a.slides)
        picture_at = {int((k + 0.5) * a.slides / n) for k in range(n)} if n else set()
        for i in range(a.slides):
            if i in picture_at:
                blip = d.blip("jpeg", self.jpeg()) if len(d.blips) % 2 else \
                    d.blip("png", self.drawn_png())
                self.picture_slide(blip)
            elif i % 4 == 3:
                self.shapes_slide()
            else:
                self.text_slide()
        if a.size_mb:
            self.fill(int(a.size_mb * MIB))
        for i, s in enumerate(d.slides):
            s.hidden = (i + 1) in a.hidden
        return d

    def estimate(self):
        if len(self.deck.slides) > MAX_SLIDES:
            raise SystemExit("make_ppt: more than %d slides; ask for fewer megabytes of text" %
                             MAX_SLIDES)
        stream, pictures, _ = Builder(self.deck).build()
        data = len(stream) + sum(len(p) for p in pictures)
        return data + data // 127 + 4096  # FAT and header overhead

    def fill(self, target):
        """Adds slides until the file is about target bytes: text slides first (all of it for
        "text", a twentieth for "mixed"), then pictures, the last one cut to fit. A mixed deck
        is shuffled afterwards so that pictures are spread through it."""
        rng, kind = self.rng, self.args.fill
        first_added = len(self.deck.slides)
        size = self.estimate()
        text_goal = {"text": target, "mixed": size + target // 20}.get(kind, 0)
        while size < min(text_goal, target) - 4096:
            # A text slide costs 1-2 KB: add half the remaining room's worth, then measure.
            for _ in range(max(1, min(500, (min(text_goal, target) - size) // 4096))):
                if rng.random() < 0.2:
                    self.shapes_slide()
                else:
                    self.text_slide()
            size = self.estimate()
        while size < target - 16384:
            room = target - size
            if kind == "mixed" and rng.random() < 0.25:
                blip = self.deck.blip("jpeg", self.jpeg())
            else:
                chunk = 2 * MIB if kind == "pictures" else rng.randint(128, 1024) * 1024
                blip = self.deck.blip("png", noise_png(rng, min(chunk, room - room // 64 - 8192)))
            self.picture_slide(blip)
            size = self.estimate()
        if kind == "mixed":
            added = self.deck.slides[first_added:]
            rng.shuffle(added)
            self.deck.slides[first_added:] = added
        return size


def parse_args(argv=None):
    p = argparse.ArgumentParser(description="Writes PowerPoint 97-2003 (.ppt) presentations.")
    p.add_argument("output")
    p.add_argument("--tour", action="store_true", help="write the bundled sample presentation")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--slides", type=int, default=8, help="generated slides (default 8)")
    p.add_argument("--bullets", type=int, default=4, help="bullets per text slide")
    p.add_argument("--outline", help="text file: '# Title' lines and '- bullet' lines")
    p.add_argument("--title", help="document title")
    p.add_argument("--pictures", type=int, default=2, help="picture slides among --slides")
    p.add_argument("--widescreen", action="store_true", help="16:9 instead of 4:3")
    p.add_argument("--hidden", type=lambda s: {int(x) for x in s.split(",") if x}, default=set(),
                   help="comma-separated slide numbers (from 1) to hide")
    p.add_argument("--loop", action="store_true", help="loop the show until Esc")
    p.add_argument("--use-timings", action="store_true", help="advance slides by their timings")
    p.add_argument("--advance", type=float, help="seconds each slide stays (implies timings)")
    p.add_argument("--outline-refs", action="store_true",
                   help="placeholders refer to the slide list's text instead of holding it")
    p.add_argument("--size-mb", type=float, help="grow the file to about this many MiB")
    p.add_argument("--fill", choices=("pictures", "mixed", "text"), default="pictures",
                   help="what --size-mb adds (default: noise pictures)")
    a = p.parse_args(argv)
    if not 0 <= a.slides <= MAX_SLIDES:
        p.error("--slides must be between 0 and %d" % MAX_SLIDES)
    if a.advance is not None and not 0 <= a.advance <= 86400:
        p.error("--advance must be between 0 and 86400 seconds")
    if a.size_mb is not None and not 0 < a.size_mb <= 1900:
        p.error("--size-mb must be above 0 and at most 1900")
    return a


def main(argv=None):
    a = parse_args(argv)
    if a.tour:
        deck = tour_deck()
    else:
        deck = Generator(a).run()
    write_ppt(a.output, deck)
    return 0


if __name__ == "__main__":
    sys.exit(main())
