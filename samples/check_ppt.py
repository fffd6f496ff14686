#!/usr/bin/env python3
"""Checks that .ppt files hold together: the compound file, the record tree and the references.

    check_ppt.py [--lenient] FILE.ppt...

Prints one summary line per file; exit status 1 on any fault. Files we write are held to the
letter: a balanced red-black directory tree, FAT sectors marked as such, no persist id above the
edit's seed. --lenient accepts what other writers commonly get away with on those three points.

Written apart from make_ppt.py so that it judges the generator instead of repeating it.
"""

import struct
import sys

FREE, END, FATSECT, DIFSECT, NONE = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFC, 0xFFFFFFFF
CONTAINER_DOC, CONTAINER_SLIDE, CONTAINER_MASTER, CONTAINER_NOTES = 0x03E8, 0x03EE, 0x03F8, 0x03F0
# Later PowerPoint versions mark this opaque blob (custom table styles) with the container version.
OPAQUE = {0x0428}


class Bad(Exception):
    pass


def need(cond, what):
    if not cond:
        raise Bad(what)


class Cfb:
    def __init__(self, data, strict=True):
        self.strict = strict
        need(len(data) >= 512 and data[:8] == bytes.fromhex("d0cf11e0a1b11ae1"),
             "not a compound file")
        (minor, major, order, shift, mshift) = struct.unpack_from("<HHHHH", data, 24)
        need(order == 0xFFFE, "byte order mark")
        need((major, shift) in ((3, 9), (4, 12)), "version %d with sector shift %d" % (major, shift))
        need(mshift == 6, "mini sector shift")
        (ndir, nfat, first_dir, _, cutoff, first_mf, nmf, first_dif, ndif) = struct.unpack_from(
            "<9I", data, 40)
        need(cutoff == 4096, "mini stream cutoff")
        self.data, self.ss = data, 1 << shift
        self.nsect = (len(data) - 512 + self.ss - 1) // self.ss if major == 3 else \
            (len(data) - self.ss) // self.ss
        difat = list(struct.unpack_from("<109I", data, 76))
        seen, sect = set(), first_dif
        for _ in range(ndif):
            need(sect < self.nsect and sect not in seen, "DIFAT chain")
            seen.add(sect)
            vals = struct.unpack_from("<%dI" % (self.ss // 4), self.sector(sect))
            difat += vals[:-1]
            sect = vals[-1]
        need(ndif == 0 or sect in (END, FREE), "DIFAT chain end")
        fat_sects = [s for s in difat if s != FREE]
        need(len(fat_sects) == nfat, "FAT sector count %d, header says %d" % (len(fat_sects), nfat))
        self.fat = []
        for s in fat_sects:
            need(s < self.nsect, "FAT sector out of file")
            self.fat += struct.unpack_from("<%dI" % (self.ss // 4), self.sector(s))
        for s in fat_sects:
            need(self.fat[s] == FATSECT or not strict, "FAT sector %d not marked" % s)
        need(self.nsect <= len(self.fat), "FAT too short for the file")
        self.dirs = self.entries(self.chain(first_dir))
        root = self.dirs[0]
        need(root["type"] == 5, "first entry is not the root")
        self.minifat = []
        if nmf:
            raw = self.chain(first_mf)
            self.minifat = list(struct.unpack_from("<%dI" % (len(raw) // 4), raw))
        self.ministream = self.chain(root["start"])[:root["size"]] if root["size"] else b""
        self.streams = {}
        self.walk_tree(root["child"], set())

    def sector(self, n):
        off = 512 + n * self.ss if self.ss == 512 else (n + 1) * self.ss
        return self.data[off:off + self.ss]

    def chain(self, start, fat=None, size=None):
        fat = self.fat if fat is None else fat
        get = self.sector if fat is self.fat else self.mini_sector
        out, seen, s = [], set(), start
        while s != END:
            need(s < len(fat) and s not in seen, "broken sector chain at %d" % s)
            seen.add(s)
            out.append(get(s))
            s = fat[s]
        return b"".join(out)

    def mini_sector(self, n):
        need((n + 1) * 64 <= len(self.ministream), "mini sector beyond the mini stream")
        return self.ministream[n * 64:(n + 1) * 64]

    def entries(self, raw):
        out = []
        for off in range(0, len(raw) - 127, 128):
            e = raw[off:off + 128]
            nlen, kind, color, left, right, child = struct.unpack_from("<HBBIII", e, 64)
            start, size = struct.unpack_from("<IQ", e, 116)
            name = e[:max(0, nlen - 2)].decode("utf-16-le", "replace") if nlen <= 64 else "?"
            out.append(dict(name=name, type=kind, color=color, left=left, right=right,
                            child=child, start=start, size=size & 0xFFFFFFFF))
        return out

    def walk_tree(self, node, seen, lo=None, hi=None):
        """Each sibling tree must be a search tree in the container's name order with no two
        reds in a row and one black height; returns that height."""
        if node == NONE:
            return 1
        need(node < len(self.dirs) and node not in seen, "directory tree loops")
        seen.add(node)
        e = self.dirs[node]
        key = (len(e["name"]), e["name"].upper())
        need((lo is None or lo < key) and (hi is None or key < hi), "sibling order at " + e["name"])
        for side in ("left", "right"):
            if e[side] != NONE and e["color"] == 0 and self.strict:
                need(self.dirs[e[side]]["color"] == 1, "two red entries in a row")
        hl = self.walk_tree(e["left"], seen, lo, key)
        hr = self.walk_tree(e["right"], seen, key, hi)
        need(hl == hr or not self.strict, "black height differs under " + e["name"])
        if e["type"] == 2:
            self.streams[e["name"]] = e
        elif e["type"] == 1:
            self.walk_tree(e["child"], set())
        return hl + (1 if e["color"] == 1 else 0)

    def read(self, name):
        e = self.streams.get(name)
        need(e is not None, "no stream " + repr(name))
        if e["size"] == 0:
            return b""
        if e["size"] < 4096:
            data = self.chain(e["start"], self.minifat)
        else:
            data = self.chain(e["start"])
        need(len(data) >= e["size"], "stream %r shorter than its size" % name)
        return data[:e["size"]]


def header(data, off):
    need(off + 8 <= len(data), "record header beyond the end at %d" % off)
    vi, rtype, rlen = struct.unpack_from("<HHI", data, off)
    return vi & 0xF, vi >> 4, rtype, rlen


def walk(data, start, end, visit, depth=0):
    """Visits every record in [start, end); containers must be filled exactly by their children."""
    need(depth < 64, "records nested too deep")
    off = start
    while off < end:
        ver, inst, rtype, rlen = header(data, off)
        need(off + 8 + rlen <= end, "record 0x%04X at %d overruns its container" % (rtype, off))
        visit(off, ver, inst, rtype, rlen, depth)
        if ver == 0xF and rtype not in OPAQUE:
            walk(data, off + 8, off + 8 + rlen, visit, depth + 1)
        off += 8 + rlen
    need(off == end, "records end past their container")


# Paragraph properties. Readers lay out the optional fields of a paragraph exception in three
# ways: the documented order (text runs and most master levels), the layout older readers use for
# the first level of the title, body, notes and other master styles, and the one they use for the
# remaining master levels. A file reads the same everywhere only if each layout that a reader may
# apply gives the same length and the same alignment and margins.
PF_ORDER = {
    "documented": [(0x800, "align"), (0x1000, 2), (0x2000, 2), (0x4000, 2), (0x100, "left"),
                   (0x400, "indent"), (0x8000, 2), (0x100000, "tabs"), (0x10000, 2),
                   (0xE0000, 2), (0x200000, 2)],
    "first": [(0xF00, "align"), (0x1000, 2), (0x2000, 2), (0x4000, 2), (0x8000, "left"),
              (0x10000, "indent"), (0x20000, 2), (0x200000, "tabs"), (0x40000, 2), (0x80000, 2),
              (0x100000, 2)],
    "later": [(0x800, "align"), (0x1000, 2), (0x2000, 2), (0x4000, 2), (0x8000, 2),
              (0x100, "left"), (0x200, 2), (0x400, "indent"), (0x10000, 2), (0xE0000, 2),
              (0x100000, "tabs"), (0x200000, 2)],
}


def read_pf(b, o, layout="documented"):
    """Returns (offset after the exception, {align, left, indent} that it states)."""
    (masks,) = struct.unpack_from("<I", b, o)
    o += 4
    for bit, size in ((0xF, 2), (0x80, 2), (0x10, 2), (0x40, 2), (0x20, 4)):
        if masks & bit:
            o += size
    got = {}
    for bit, what in PF_ORDER[layout]:
        if not masks & bit:
            continue
        if what == "tabs":
            (n,) = struct.unpack_from("<H", b, o)
            o += 2 + 4 * n
        elif isinstance(what, str):
            got[what] = struct.unpack_from("<h", b, o)[0]
            o += 2
        else:
            o += what
    return o, got


def read_cf(b, o):
    (masks,) = struct.unpack_from("<I", b, o)
    o += 4
    need(not masks & 0x100000, "character run with the version-10 field, which readers size "
         "differently")
    if masks & 0xFFFF:
        o += 2
    for bit, size in ((0x10000, 2), (0x200000, 2), (0x400000, 2), (0x800000, 2), (0x20000, 2),
                      (0x40000, 4), (0x80000, 2), (0x1000000, 2), (0x2000000, 2),
                      (0x4000000, 4)):
        if masks & bit:
            o += size
    return o


def check_style_runs(b, off, rlen, nchars):
    """The paragraph runs, then the character runs, each covering the text and its final mark."""
    o, end = off + 8, off + 8 + rlen
    for kind in ("paragraph", "character"):
        covered = 0
        while covered < nchars + 1:
            need(o + 4 <= end, "%s runs end before the text does" % kind)
            (n,) = struct.unpack_from("<I", b, o)
            need(n > 0, "empty %s run" % kind)
            covered += n
            if kind == "paragraph":
                o, _ = read_pf(b, o + 6)
            else:
                o = read_cf(b, o + 4)
        need(covered == nchars + 1, "%s runs cover %d characters, the text has %d" %
             (kind, covered, nchars + 1))
    need(o == end, "text properties %d bytes longer than their runs" % (end - o))


def check_master_style(b, off, inst, rlen):
    o, end = off + 8, off + 8 + rlen
    (levels,) = struct.unpack_from("<H", b, o)
    o += 2
    need(levels <= 5, "master style with %d levels" % levels)
    for lvl in range(levels):
        if inst >= 5:
            o += 2
        start = o
        o, got = read_pf(b, start)
        other = "first" if lvl == 0 and inst < 5 else "later"
        o2, got2 = read_pf(b, start, other)
        need(o == o2 and got == got2, "master style %d level %d reads differently in the %s-"
             "level layout" % (inst, lvl, other))
        o = read_cf(b, o)
    need(o == end, "master style %d: %d bytes left after its levels" % (inst, end - o))


class Summary:
    def __init__(self):
        self.slides = self.pictures = self.shapes = 0
        self.texts = []


def check_ppt(data, strict=True):
    cfb = Cfb(data, strict)
    doc = cfb.read("PowerPoint Document")
    cu = cfb.read("Current User")
    ver, inst, rtype, rlen = header(cu, 0)
    need(rtype == 0x0FF6 and rlen + 8 <= len(cu), "Current User record")
    size, token, edit_off = struct.unpack_from("<III", cu, 8)
    need(size == 0x14, "Current User size field")
    need(token in (0xE391C05F, 0xF3D1C4DF), "Current User header token")
    need(token == 0xE391C05F, "encrypted presentation")

    # Follow the chain of edits, newest first; newer entries win in the persist directory.
    persist, seen, edit_offsets = {}, set(), set()
    doc_ref = None
    while True:
        need(edit_off not in seen, "edit chain loops")
        seen.add(edit_off)
        ver, inst, rtype, rlen = header(doc, edit_off)
        need(rtype == 0x0FF5 and rlen >= 0x1C and edit_off + 8 + rlen <= len(doc),
             "UserEditAtom at %d" % edit_off)
        (_, _, _, major, last, dir_off, doc_id, seed) = struct.unpack_from("<IHBBIIII", doc,
                                                                           edit_off + 8)
        need(major == 3, "edit version")
        if doc_ref is None:
            doc_ref = doc_id
            max_id = seed
        ver, inst, rtype, rlen = header(doc, dir_off)
        need(rtype == 0x1772 and dir_off + 8 + rlen <= len(doc), "persist directory at %d" % dir_off)
        p, end = dir_off + 8, dir_off + 8 + rlen
        while p < end:
            (word,) = struct.unpack_from("<I", doc, p)
            first, count = word & 0xFFFFF, word >> 20
            need(p + 4 + 4 * count <= end, "persist directory entry overruns")
            for k in range(count):
                pid = first + k
                need(pid <= max_id or not strict, "persist id %d above the seed %d" % (pid, max_id))
                persist.setdefault(pid, struct.unpack_from("<I", doc, p + 4 + 4 * k)[0])
            p += 4 + 4 * count
        edit_offsets.update((edit_off, dir_off))
        if last == 0:
            break
        edit_off = last
    # The stream is one run of records, and every reference lands on one of them.
    tops = set()
    walk(doc, 0, len(doc), lambda off, *r: tops.add(off) if r[-1] == 0 else None)
    for pid, off in persist.items():
        need(off in tops, "persist object %d does not start a record" % pid)
    need(edit_offsets <= tops, "an edit does not start a record")
    for pid, off in persist.items():
        need(off + 8 <= len(doc), "persist object %d beyond the stream" % pid)
        ver, inst, rtype, rlen = header(doc, off)
        need(off + 8 + rlen <= len(doc), "persist object %d overruns the stream" % pid)

    need(doc_ref in persist, "document persist id missing")
    s = Summary()
    doc_off = persist[doc_ref]
    ver, inst, rtype, rlen = header(doc, doc_off)
    need(rtype == CONTAINER_DOC and ver == 0xF, "document record")
    need(header(doc, doc_off + 8)[2] == 0x03E9, "DocumentAtom first")

    bse = []
    slide_refs, master_refs = [], []
    lists = []

    def visit_doc(off, ver, inst, rtype, rlen, depth):
        if rtype == 0x0FF0 and depth == 0:
            lists.append(inst)
        elif rtype == 0x03F3:
            need(rlen >= 0x14, "SlidePersistAtom length")
            (ref,) = struct.unpack_from("<I", doc, off + 8)
            (slide_refs if lists[-1] == 0 else master_refs if lists[-1] == 1 else []).append(ref)
        elif rtype == 0xF007:
            need(rlen >= 36, "FBSE length")
            bt, _, _, _, bsize, refs, fo = struct.unpack_from("<BB16sHIII", doc, off + 8)
            bse.append((bt, bsize, fo))

    walk(doc, doc_off + 8, doc_off + 8 + rlen, visit_doc)
    for ref in master_refs:
        need(ref in persist, "master persist id %d missing" % ref)
        # Title masters are stored as slides.
        need(header(doc, persist[ref])[2] in (CONTAINER_MASTER, CONTAINER_SLIDE),
             "master record type")
    for ref in slide_refs:
        need(ref in persist, "slide persist id %d missing" % ref)
        need(header(doc, persist[ref])[2] == CONTAINER_SLIDE, "slide record type")
    s.slides = len(slide_refs)

    pics = cfb.read("Pictures") if bse else b""
    for bt, bsize, fo in bse:
        if bsize == 0:
            continue
        need(fo + bsize <= len(pics), "picture at %d beyond the Pictures stream" % fo)
        ver, inst, rtype, rlen = header(pics, fo)
        need(8 + rlen == bsize, "picture record size differs from its store entry")
        want = {2: 0xF01A, 3: 0xF01B, 4: 0xF01C, 5: 0xF01D, 6: 0xF01E, 7: 0xF01F, 17: 0xF029}
        need(rtype == want.get(bt, rtype) or (bt == 5 and rtype == 0xF02A),
             "picture type differs from its store entry")
        body = pics[fo + 8:fo + 8 + rlen]
        if rtype == 0xF01E:
            need(b"\x89PNG\r\n\x1a\n" in body[:48], "PNG signature")
        elif rtype == 0xF01D:
            need(b"\xff\xd8" in body[:40] and body.endswith(b"\xff\xd9"), "JPEG markers")
        s.pictures += 1

    # Every persisted object, top-level record by record.
    last_text = [None]

    def visit_obj(off, ver, inst, rtype, rlen, depth):
        if rtype == 0xF00B:
            need(rlen >= 6 * inst, "shape properties shorter than their count")
            for k in range(inst):
                pid, val = struct.unpack_from("<HI", doc, off + 8 + 6 * k)
                if pid & 0x3FFF == 0x0104 and pid & 0x4000:
                    need(1 <= val <= len(bse), "picture index %d outside the store" % val)
        elif rtype == 0xF00A:
            s.shapes += 1
        elif rtype in (0x0FA0, 0x0FA8):
            raw = doc[off + 8:off + 8 + rlen]
            s.texts.append(raw.decode("utf-16-le", "replace") if rtype == 0x0FA0 else
                           raw.decode("latin-1"))
            last_text[0] = rlen // 2 if rtype == 0x0FA0 else rlen
        elif rtype == 0x0F9F:
            last_text[0] = 0  # an empty text has no character atom
        elif rtype == 0x0FA1:
            need(last_text[0] is not None, "text properties without text")
            check_style_runs(doc, off, rlen, last_text[0])
            last_text[0] = None
        elif rtype == 0x0FA3:
            check_master_style(doc, off, inst, rlen)

    for pid, off in sorted(persist.items()):
        ver, inst, rtype, rlen = header(doc, off)
        if ver == 0xF:
            walk(doc, off + 8, off + 8 + rlen, visit_obj)
    return s


def main(argv):
    strict = "--lenient" not in argv
    paths = [a for a in argv[1:] if a != "--lenient"]
    if not paths:
        print(__doc__.strip())
        return 2
    status = 0
    for path in paths:
        try:
            with open(path, "rb") as f:
                s = check_ppt(f.read(), strict)
            print("%s: ok, %d slides, %d shapes, %d pictures" % (path, s.slides, s.shapes,
                                                                  s.pictures))
        except (Bad, struct.error, IndexError, ValueError, RecursionError) as e:
            print("%s: BAD: %s" % (path, e))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
