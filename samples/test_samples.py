#!/usr/bin/env python3
"""Tests of the presentation generator and of the checker that judges it.

    test_samples.py                 every test
    test_samples.py TourReproduces  only the byte-for-byte check of the committed sample
"""

import io
import math
import os
import random
import struct
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import check_ppt  # noqa: E402
import make_ppt  # noqa: E402

CORPUS = os.path.join(HERE, "..", "..", "shared", "corpus", "ppt")


def generate(*args):
    """Runs the generator's command line into a temporary file; returns the bytes."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.ppt")
        make_ppt.main([out] + list(args))
        with open(out, "rb") as f:
            return f.read()


class Records:
    """The generated document read back with the checker's own reader."""

    def __init__(self, data):
        self.summary = check_ppt.check_ppt(data)
        self.cfb = check_ppt.Cfb(data)
        self.doc = self.cfb.read("PowerPoint Document")
        self.all = []  # (offset, ver, inst, type, len, depth)
        check_ppt.walk(self.doc, 0, len(self.doc),
                       lambda *r: self.all.append(r))

    def of_type(self, rtype):
        return [r for r in self.all if r[3] == rtype]

    def body(self, r):
        return self.doc[r[0] + 8:r[0] + 8 + r[4]]


class TourReproduces(unittest.TestCase):
    def test_generator_writes_the_committed_sample(self):
        with open(os.path.join(HERE, "kestrane-tour.ppt"), "rb") as f:
            committed = f.read()
        self.assertLess(len(committed), 300 * 1024)
        fresh = generate("--tour")
        self.assertEqual(len(fresh), len(committed))
        self.assertTrue(fresh == committed, "kestrane-tour.ppt differs from the generator's "
                        "output; run: python3 samples/make_ppt.py --tour samples/kestrane-tour.ppt")


class GeneratedDecks(unittest.TestCase):
    def test_tour_content(self):
        r = Records(generate("--tour"))
        self.assertEqual(r.summary.slides, 6)
        self.assertEqual(r.summary.pictures, 2)
        text = "\n".join(r.summary.texts)
        for want in ("kestrane", "One presentation, one program", "Make EXE",
                     "Hand the .exe to anyone", "don\u2019t"):
            self.assertIn(want, text)
        blips = {r.body(b)[0] for b in r.of_type(0xF007)}
        self.assertEqual(blips, {5, 6})  # one JPEG, one PNG
        # Both text encodings occur: single bytes and UTF-16.
        self.assertTrue(r.of_type(0x0FA8) and r.of_type(0x0FA0))

    def test_options_reach_the_file(self):
        r = Records(generate("--slides", "5", "--pictures", "2", "--widescreen", "--hidden",
                             "2,4", "--loop", "--advance", "2.5", "--seed", "9"))
        self.assertEqual(r.summary.slides, 5)
        self.assertEqual(r.summary.pictures, 2)
        (atom,) = r.of_type(0x03E9)
        w, h = struct.unpack_from("<ii", r.body(atom))
        self.assertEqual((w, h), (7680, 4320))
        (show,) = r.of_type(0x0401)
        flags = struct.unpack_from("<H", r.body(show), 76)[0]
        self.assertEqual(flags & 0x81, 0x81)  # use timings, loop
        infos = r.of_type(0x03F9)
        self.assertEqual(len(infos), 5)
        hidden = []
        for i, info in enumerate(infos):
            ms, _, _, _, f = struct.unpack_from("<IIBBH", r.body(info))
            self.assertEqual(ms, 2500)
            self.assertTrue(f & 0x400)
            if f & 0x4:
                hidden.append(i + 1)
        self.assertEqual(hidden, [2, 4])

    def test_default_deck_is_plain_4_3_without_show_settings(self):
        r = Records(generate("--slides", "3", "--pictures", "0"))
        (atom,) = r.of_type(0x03E9)
        self.assertEqual(struct.unpack_from("<ii", r.body(atom)), (5760, 4320))
        self.assertEqual(r.of_type(0x03F9), [])
        self.assertNotIn("Pictures", r.cfb.streams)

    def test_outline_references_resolve_in_the_slide_list(self):
        data = generate("--slides", "4", "--pictures", "0", "--outline-refs")
        r = Records(data)
        refs = r.of_type(0x0F9E)
        # Each slide's texts in the slide list are numbered by their header's instance.
        (slwt,) = [x for x in r.all if x[3] == 0x0FF0 and x[2] == 0]
        per_slide = []
        for x in r.all:
            if slwt[0] < x[0] < slwt[0] + 8 + slwt[4]:
                if x[3] == 0x03F3:
                    per_slide.append([])
                elif x[3] == 0x0F9F:
                    per_slide[-1].append(x[2])
        self.assertEqual(len(per_slide), 4)
        for numbers in per_slide:
            self.assertEqual(numbers, list(range(len(numbers))))
        self.assertEqual(sorted(struct.unpack_from("<i", r.body(x))[0] for x in refs),
                         sorted(n for numbers in per_slide for n in numbers))
        self.assertGreaterEqual(len(refs), 7)

    def test_outline_file_gives_titles_and_levels(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "o.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write("# Zoë's plan\n- First\n  - Deeper\n# Two\n- Last\n")
            r = Records(generate("--outline", path, "--slides", "0"))
        self.assertEqual(r.summary.slides, 2)
        self.assertIn("Zoë's plan", r.summary.texts)
        self.assertIn("First\rDeeper", r.summary.texts)

    def test_same_seed_same_bytes_other_seed_other_bytes(self):
        a = generate("--slides", "4", "--seed", "3")
        self.assertEqual(a, generate("--slides", "4", "--seed", "3"))
        self.assertNotEqual(a, generate("--slides", "4", "--seed", "4"))

    def test_size_targets(self):
        for fill in ("text", "pictures"):
            data = generate("--slides", "2", "--size-mb", "0.5", "--fill", fill)
            self.assertAlmostEqual(len(data), 512 * 1024, delta=24 * 1024, msg=fill)
            check_ppt.check_ppt(data)

    def test_large_file_needs_difat_sectors(self):
        data = generate("--slides", "1", "--pictures", "0", "--size-mb", "8")
        ndif = struct.unpack_from("<I", data, 72)[0]
        self.assertGreater(ndif, 0)
        s = check_ppt.check_ppt(data)
        self.assertGreater(s.pictures, 2)

    def test_rejects_impossible_requests(self):
        for args in (["--slides", "5000"], ["--size-mb", "0"], ["--advance", "-1"]):
            with self.assertRaises(SystemExit):
                with open(os.devnull, "w") as null:
                    old, sys.stderr = sys.stderr, null
                    try:
                        make_ppt.parse_args(["x.ppt"] + args)
                    finally:
                        sys.stderr = old


class CompoundFile(unittest.TestCase):
    def test_streams_round_trip_around_the_mini_stream_cutoff(self):
        sizes = [0, 1, 63, 64, 4095, 4096, 4097, 70000]
        streams = [("S%02d" % i, bytes([i + 1]) * n) for i, n in enumerate(sizes)]
        f = io.BytesIO()
        make_ppt.write_cfb(f, streams)
        cfb = check_ppt.Cfb(f.getvalue())
        for name, data in streams:
            self.assertEqual(cfb.read(name), data, name)

    def test_directory_tree_is_red_black_for_any_count(self):
        for n in range(1, 40):
            names = ["n%d" % k * (1 + k % 3) for k in range(n)]
            f = io.BytesIO()
            make_ppt.write_cfb(f, [(name, b"x") for name in names])
            cfb = check_ppt.Cfb(f.getvalue())  # strict: order, colours, black height
            self.assertEqual(sorted(cfb.streams), sorted(names), n)


def decode_jpeg(data):
    """A baseline decoder for what the generator writes (three components, no subsampling)."""
    pos, qt, huff, comps = 2, {}, {}, []
    while True:
        marker, length = struct.unpack_from(">HH", data, pos)
        seg = data[pos + 4:pos + 2 + length]
        pos += 2 + length
        if marker == 0xFFDB:
            qt[seg[0] & 15] = list(seg[1:65])
        elif marker == 0xFFC0:
            height, width = struct.unpack_from(">HH", seg, 1)
            comps = [(seg[6 + 3 * i], seg[8 + 3 * i]) for i in range(seg[5])]
        elif marker == 0xFFC4:
            counts, k, code, table = seg[1:17], 17, 0, {}
            for length_ in range(1, 17):
                for _ in range(counts[length_ - 1]):
                    table[(length_, code)] = seg[k]
                    k += 1
                    code += 1
                code <<= 1
            huff[seg[0]] = table
        elif marker == 0xFFDA:
            tables = {seg[1 + 2 * i]: seg[2 + 2 * i] for i in range(seg[0])}
            break
    scan = data[pos:data.rindex(b"\xff\xd9")].replace(b"\xff\x00", b"\xff")
    bits = "".join(format(b, "08b") for b in scan)
    at = 0

    def symbol(table):
        nonlocal at
        code = 0
        for length_ in range(1, 17):
            code = (code << 1) | (bits[at] == "1")
            at += 1
            if (length_, code) in table:
                return table[(length_, code)]
        raise ValueError("bad Huffman code")

    def value(size):
        nonlocal at
        if not size:
            return 0
        v = int(bits[at:at + size], 2)
        at += size
        return v if v >= 1 << (size - 1) else v - (1 << size) + 1

    cos_t = [[(math.sqrt(0.125) if u == 0 else 0.5) * math.cos((2 * x + 1) * u * math.pi / 16)
              for u in range(8)] for x in range(8)]
    planes = [[0] * (width * height) for _ in comps]
    prev = [0] * len(comps)
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c, (cid, q) in enumerate(comps):
                sel = tables[cid]
                coef = [0] * 64
                prev[c] += value(symbol(huff[sel >> 4]))
                coef[0] = prev[c] * qt[q][0]
                k = 1
                while k < 64:
                    rs = symbol(huff[0x10 | (sel & 15)])
                    if rs == 0:
                        break
                    k += rs >> 4
                    coef[make_ppt.ZIGZAG[k]] = value(rs & 15) * qt[q][k]
                    k += 1
                for y in range(min(8, height - by)):
                    for x in range(min(8, width - bx)):
                        v = sum(cos_t[y][v_] * cos_t[x][u] * coef[v_ * 8 + u]
                                for v_ in range(8) for u in range(8) if coef[v_ * 8 + u])
                        planes[c][(by + y) * width + bx + x] = v + 128
    out = bytearray()
    for yy, cb, cr in zip(*planes):
        for v in (yy + 1.402 * (cr - 128), yy - 0.344136 * (cb - 128) - 0.714136 * (cr - 128),
                  yy + 1.772 * (cb - 128)):
            out.append(max(0, min(255, int(round(v)))))
    return width, height, bytes(out)


class Pictures(unittest.TestCase):
    def test_png_rows_survive(self):
        rows = bytes(i * 7 % 256 for i in range(64 * 12 * 3))
        data = make_ppt.png_bytes(64, 12, rows)
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        ihdr_len, idat_at = struct.unpack_from(">I", data, 8)[0], 8 + 8 + 13 + 4
        self.assertEqual(ihdr_len, 13)
        (idat_len,) = struct.unpack_from(">I", data, idat_at)
        raw = zlib.decompress(data[idat_at + 8:idat_at + 8 + idat_len])
        self.assertEqual(b"".join(raw[y * 193 + 1:(y + 1) * 193] for y in range(12)), rows)
        self.assertTrue(all(raw[y * 193] == 0 for y in range(12)))

    def test_jpeg_decodes_close_to_its_source(self):
        rng = random.Random(1)
        w, h = 37, 21  # not a multiple of the block size
        rows = make_ppt.photo_rows(rng, w, h)
        dw, dh, back = decode_jpeg(make_ppt.jpeg_bytes(w, h, rows, quality=90))
        self.assertEqual((dw, dh), (w, h))
        err = sum(abs(a - b) for a, b in zip(rows, back)) / len(rows)
        self.assertLess(err, 6.0)

    def test_noise_png_is_incompressible_and_sized(self):
        data = make_ppt.noise_png(random.Random(2), 300000)
        self.assertAlmostEqual(len(data), 300000, delta=4000)
        self.assertGreater(len(zlib.compress(data, 9)), len(data) * 0.99)


class CheckerCatchesFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.good = generate("--slides", "3", "--pictures", "1", "--seed", "2")

    def stream_offset(self, data):
        """File offset of the document stream's first byte (it lives in regular sectors)."""
        cfb = check_ppt.Cfb(data)
        return 512 + cfb.streams["PowerPoint Document"]["start"] * 512, cfb

    def assertBad(self, data, fragment):
        with self.assertRaises(check_ppt.Bad) as ctx:
            check_ppt.check_ppt(data)
        self.assertIn(fragment, str(ctx.exception))

    def test_record_longer_than_its_container(self):
        base, cfb = self.stream_offset(self.good)
        doc = bytearray(self.good)
        # The DocumentAtom is the first child of the document container.
        struct.pack_into("<I", doc, base + 8 + 4, 0x1000)
        self.assertBad(bytes(doc), "overruns")

    def test_persist_offset_beyond_the_stream(self):
        r = Records(self.good)
        (pdir,) = r.of_type(0x1772)
        base, _ = self.stream_offset(self.good)
        # The stream is longer than one sector, so its first sectors are contiguous here.
        doc = bytearray(self.good)
        struct.pack_into("<I", doc, base + pdir[0] + 8 + 4, len(r.doc) + 100)
        self.assertBad(bytes(doc), "persist object")

    def test_directory_loop_and_truncation(self):
        data = bytearray(self.good)
        first_dir = struct.unpack_from("<I", data, 48)[0]
        root = 512 + first_dir * 512
        struct.pack_into("<I", data, root + 128 + 68, 1)  # first child's left sibling: itself
        self.assertBad(bytes(data), "loops")
        self.assertBad(self.good[:3000], "")

    def test_master_style_that_readers_would_read_differently(self):
        pf, cf = make_ppt.pf_exception, make_ppt.cf_exception(size=28)
        sound = pf(bullet="*", left=324, indent=0, align=0, first_level=True)
        naive = pf(bullet="*", left=324, indent=0, align=0)
        for inst, first, ok in ((1, sound, True), (1, naive, False), (5, sound, False),
                                (5, naive, True)):
            atom = make_ppt.master_style(inst, [(first, cf), (naive, cf)])
            if ok:
                check_ppt.check_master_style(atom, 0, inst, len(atom) - 8)
            else:
                with self.assertRaises(check_ppt.Bad, msg=(inst, ok)):
                    check_ppt.check_master_style(atom, 0, inst, len(atom) - 8)

    def test_text_runs_must_cover_the_text_exactly(self):
        header, chars, props = make_ppt.text_records(1, make_ppt.paras(["One", (1, "Two")]))
        check_ppt.check_style_runs(props, 0, len(props) - 8, 7)
        self.assertEqual(len(chars), 8 + 7)
        for nchars in (6, 8):
            with self.assertRaises(check_ppt.Bad):
                check_ppt.check_style_runs(props, 0, len(props) - 8, nchars)
        with self.assertRaises(check_ppt.Bad):
            check_ppt.check_style_runs(props + b"\0\0", 0, len(props) - 6, 7)

    @unittest.skipUnless(os.path.isdir(CORPUS), "no corpus of real presentations")
    def test_real_presentations_read_or_refuse_cleanly(self):
        broken = ("corrupted", "clusterfuzz", "Password", "PPT95")
        for name in sorted(os.listdir(CORPUS)):
            with open(os.path.join(CORPUS, name), "rb") as f:
                data = f.read()
            if any(b in name for b in broken):
                with self.assertRaises(check_ppt.Bad, msg=name):
                    check_ppt.check_ppt(data, strict=False)
            else:
                check_ppt.check_ppt(data, strict=False)


if __name__ == "__main__":
    unittest.main()
