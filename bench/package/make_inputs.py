#!/usr/bin/env python3
"""Writes the ten files of a package for the benchmark into a folder: a presentation of the given
size and kind, and nine companions cut from the system's own libraries (so they compress as
programs do). Deterministic: the same arguments give the same bytes."""
import os
import random
import sys

WORDS = ("quarterly results revenue growth market share customer slide title agenda summary "
         "strategy team product launch roadmap budget forecast region sales margin review next "
         "steps thank you questions overview objective milestone risk plan").split()


def text_bytes(rng, n):
    out = bytearray()
    while len(out) < n:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 12)))
        out += line.capitalize().encode() + b"\r\x00\x00"
    return bytes(out[:n])


def picture_bytes(rng, n):
    return rng.randbytes(n)  # already-compressed pictures look like noise


def presentation(kind, size, seed):
    rng = random.Random(seed)
    chunks, left = [], size
    while left > 0:
        n = min(left, rng.randint(16 << 10, 256 << 10))
        if kind == "text":
            pic = rng.random() < 0.1
        elif kind == "mixed":
            pic = rng.random() < 0.5
        else:
            pic = rng.random() < 0.95
        chunks.append(picture_bytes(rng, n) if pic else text_bytes(rng, n))
        left -= n
    return b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"".join(chunks)[8:]


COMPANIONS = {  # name: (source library, size)
    "GDIPLUS.DLL": ("gdiplus.dll", 1_700_000),
    "INTLDATE.DLL": ("kernelbase.dll", 90_000),
    "PPTVIEW.EXE": ("mshtml.dll", 2_300_000),
    "PPVWINTL.DLL": ("shell32.dll", 700_000),
    "SAEXT.DLL": ("ole32.dll", 330_000),
    "UNICOWS.DLL": ("user32.dll", 240_000),
    "msvbvm60.dll": ("oleaut32.dll", 1_380_000),
}


def library_bytes(lib_dir, name, size):
    data = open(os.path.join(lib_dir, name), "rb").read()
    while len(data) < size:
        data += data
    return data[:size]


def main(folder, kind, size_mb, lib_dir, launched, manifest):
    os.makedirs(folder, exist_ok=True)
    for name, (lib, size) in COMPANIONS.items():
        open(os.path.join(folder, name), "wb").write(library_bytes(lib_dir, lib, size))
    open(os.path.join(folder, "view.ppt"), "wb").write(
        presentation(kind, int(float(size_mb) * (1 << 20)), {"text": 1, "mixed": 2}.get(kind, 3)))
    open(os.path.join(folder, "view.exe"), "wb").write(open(launched, "rb").read())
    open(os.path.join(folder, "view.exe.manifest"), "wb").write(open(manifest, "rb").read())


if __name__ == "__main__":
    main(*sys.argv[1:])
