#!/usr/bin/env python3
"""Tests of the presentation generator and of the checker that judges it.

    test_samples.py                 every test
    test_samples.py TourReproduces  only the byte-for-byte check of the committed sample
"""

import io
import os
import struct
import sys
import tempfile
import unittest

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
        for args in (["--slides", "5000"], ["--size-mb", "0"]):
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
