#!/usr/bin/env python3
"""Turns the raw figures of bench/journey/run into the results page and its chart.

usage: report.py raw.txt journey.md journey.png"""
import statistics
import sys
from collections import defaultdict

CONVERSION_LIMIT = 3.0  # conversion at most three times the copy floor
OVERHEAD_LIMIT = 512 * 1024
START_LIMIT = 1.5  # start-to-first-slide at most one and a half times NSIS's
PHASES = ("Unpacking", "Launcher", "Viewer parse", "First paint")
LABELS = {"bench-1mb-text": "1 MB text", "bench-20mb-mixed": "20 MB mixed",
          "bench-200mb-pictures": "200 MB pictures"}


def read(path):
    machine, decks, other = {}, defaultdict(lambda: defaultdict(list)), {}
    for line in open(path):
        f = line.split()
        if not f:
            continue
        if f[0] == "machine":
            machine[f[1]] = " ".join(f[2:])
        elif f[0] in ("stub", "left"):
            other[f[0]] = int(f[1])
        else:
            decks[f[0]][f[1]].append(f[2:])
    return machine, decks, other


def median_run(rows, column):
    """The run whose figure in `column` is the median, so its phases add up to it."""
    rows = sorted(rows, key=lambda r: float(r[column]))
    return [float(v) for v in rows[(len(rows) - 1) // 2]]


def met(ok):
    return "yes" if ok else "**no**"


def kib(n):
    return f"{n / 1024:.1f}"


def main():
    raw, md_path, png_path = sys.argv[1:4]
    machine, decks, other = read(raw)
    names = [n for n in LABELS if n in decks]
    out = ["# The user's journey: conversion, package overhead, start to first slide", ""]
    out += [f"Measured {machine.get('date', '?')} by bench/journey/run on {machine.get('cores', '?')}"
            f" cores ({machine.get('cpu', '?')}) under {machine.get('wine', '?')}, screen "
            f"{machine.get('screen', '?')}. The product is installed from "
            f"{'build/win64/delivery' if 'stand-in' in machine else 'build/delivery'} through "
            "setup's own window; every figure is the median of the counted runs, after one "
            "uncounted run that warms the caches. The machine may be shared with other builds and "
            "tests while the bench runs, so single runs vary; they are listed beside the medians.",
            ""]
    out += [f"**Code:** {machine.get('kind', 'native 32-bit')}.", ""]
    if "stand-in" in machine:
        out += [f"**Stand-in figures:** {machine['stand-in']}.", ""]
    if "emulated" in machine:
        out += [f"**Emulated figures:** {machine['emulated']}.", ""]

    out += ["## Conversion against copying the same bytes", "",
            "From the click on \"Make EXE\" in the installed converter until its result page "
            "shows, against the floor: CopyFileA of the presentation, then of that copy, in the "
            "same Wine prefix. The converter itself copies the presentation into its working "
            "folder, has the packager read it into the package, and copies the package to the "
            "chosen place: three passes over the bytes where the floor makes two. The packager "
            "writes its cabinet itself in one pass straight into the package, after the stub's "
            "bytes and before the resource directory that is patched in last: MSZIP (zlib) for "
            "what is worth compressing, and content that does not compress, such as pictures, "
            "stored, copied in whole blocks; the check is a CRC taken over what was written. "
            "The package's section starts on a page of the file, so that Windows (and Wine) map "
            "the package's bulk when it starts instead of copying it first. The last "
            "three columns split the median conversion at the packager's process (IExpress.exe, "
            "watched with Toolhelp every few milliseconds): before it starts, while it runs, and "
            "from its end to the result page (copying the package to the chosen place).", "",
            "Every conversion also pays a fixed cost whatever the presentation: starting the "
            "packager, writing the directive, copying the stub and companions. It is measured "
            "by converting an empty .ppt, and the last two columns set the conversion less that "
            "cost against the floor.", "",
            f"| Presentation | Bytes | Conversion ms (runs) | Copy floor ms (runs) | Ratio | "
            f"Target ≤ {CONVERSION_LIMIT:g}× | Less fixed cost ms | Its ratio | "
            "Before packager ms | Packager ms | After packager ms |",
            "|---|---|---|---|---|---|---|---|---|---|---|"]
    conv = {}
    fixed = statistics.median(float(r[0]) for r in decks["empty"]["convert"]) \
        if decks["empty"]["convert"] else 0.0
    if fixed:
        runs = ", ".join(f"{float(r[0]):.0f}" for r in decks["empty"]["convert"])
        split = " | ".join(f"{v:.0f}" for v in median_run(decks["empty"]["convert"], 0)[1:4])
        out.append(f"| empty (fixed cost) | 0 | {fixed:.0f} ({runs}) | | | | | | {split} |")
    for n in names:
        d = decks[n]
        cv = [float(r[0]) for r in d["convert"]]
        fl = [float(r[0]) for r in d["floor"]]
        mc, mf = statistics.median(cv), statistics.median(fl)
        conv[n] = (mc, mf)
        ratio = mc / mf if mf > 0 else float("inf")
        out.append(f"| {LABELS[n]} | {d['deck'][0][0]} | {mc:.0f} ({', '.join(f'{v:.0f}' for v in cv)})"
                   f" | {mf:.0f} ({', '.join(f'{v:.0f}' for v in fl)}) | {ratio:.1f}× | "
                   f"{met(ratio <= CONVERSION_LIMIT)} | {mc - fixed:.0f} | "
                   f"{(mc - fixed) / mf:.1f}× | "
                   + " | ".join(f"{v:.0f}" for v in median_run(d["convert"], 0)[1:4]) + " |")
    out.append("")

    stub = other.get("stub", 0)
    out += ["## Package overhead", "",
            "The package's size less the presentation's. The package is the self-extractor "
            f"stub ({stub} bytes, {kib(stub)} KiB, with its icon) and a cabinet that holds the "
            "presentation with the viewer, the launcher (view.exe), its manifest and six "
            "placeholder libraries.", "",
            f"| Presentation | Presentation bytes | Package bytes | Overhead bytes | Overhead KiB | "
            f"Target ≤ {OVERHEAD_LIMIT // 1024} KiB | Package / presentation | "
            "NSIS package bytes |",
            "|---|---|---|---|---|---|---|---|"]
    overhead = {}
    for n in names:
        d = decks[n]
        deck, pkg = int(d["deck"][0][0]), int(d["package"][0][0])
        overhead[n] = pkg - deck
        out.append(f"| {LABELS[n]} | {deck} | {pkg} | {pkg - deck} | {kib(pkg - deck)} | "
                   f"{met(pkg - deck <= OVERHEAD_LIMIT)} | {pkg / deck:.4f} | "
                   f"{d['nsis-package'][0][0]} |")
    empty_pkg = int(decks["empty"]["package"][0][0]) if decks["empty"]["package"] else 0
    if empty_pkg:
        out.append(f"| empty | 0 | {empty_pkg} | {empty_pkg} | {kib(empty_pkg)} | "
                   f"{met(empty_pkg <= OVERHEAD_LIMIT)} | | |")
    out += ["", "The cabinet compresses, so a presentation that compresses well makes the "
            "package smaller than itself and the difference goes below zero; the package of "
            "an empty presentation is the overhead every package carries."]
    out.append("")
    if names:
        d = decks[names[0]]
        files = [(f[0], int(f[1])) for f in d["file"]]
        companions = [(name, size) for name, size in files if name.lower() != "view.ppt"]
        cab = int(d["cabinet"][0][0])
        deck, pkg = int(d["deck"][0][0]), int(d["package"][0][0])
        out += [f"What the overhead is made of ({LABELS[names[0]]}): the cabinet is {cab} bytes "
                f"for {sum(s for _, s in files)} bytes of files; the package less its cabinet is "
                f"{pkg - cab} bytes (the stub with its resources).", "",
                "| File in the package | Bytes |", "|---|---|"]
        out += [f"| {name} | {size} |" for name, size in sorted(companions, key=lambda x: -x[1])]
        out += [f"| all but the presentation | {sum(s for _, s in companions)} |", ""]

    out += ["## Start to first slide", "",
            "From CreateProcess on the package until the first slide's pixels are on the screen, "
            "in phases: unpacking (until the launcher view.exe runs), launcher (until PPTVIEW.EXE "
            "runs), viewer parse (until the show window exists), first paint (until the screen "
            "shows more than one colour in the window's area). A Windows driver polls Toolhelp "
            "snapshots and FindWindow about every millisecond and reads the screen back "
            "continuously once the window exists. Then Escape ends the show; start-to-end is "
            "until the package has ended and removed its folder. NSIS (zlib, as bench/package "
            "builds it) unpacks the same ten files into a new folder under %TEMP%, runs the same "
            "view.exe and removes the folder. The phases are those of the median run.", "",
            "Throughout the run the bench keeps one hidden Wine window open. Windows always has "
            "its desktop; Wine closes its desktop process a moment after the last program has "
            "gone, and the next program to open a window starts it again. Keeping it alive makes "
            "every start pay the same as on Windows, where the desktop always exists.", "",
            "| Presentation | Package | Unpacking ms | Launcher ms | Viewer parse ms | "
            "First paint ms | Start-to-first-slide ms (runs) | Start-to-end ms | "
            f"kestrane / NSIS | Target ≤ {START_LIMIT:g}× |",
            "|---|---|---|---|---|---|---|---|---|---|"]
    starts, probe = {}, []
    for n in names:
        d = decks[n]
        for kind in ("kestrane", "nsis"):
            rows = d[f"start-{kind}"]
            starts[n, kind] = median_run(rows, 4)
            starts[n, kind + " runs"] = [float(r[4]) for r in rows]
            probe += [float(r[6]) for r in rows]
        k, s = starts[n, "kestrane"], starts[n, "nsis"]
        ratio = k[4] / s[4]
        for kind, r in (("kestrane", k), ("NSIS", s)):
            runs = ", ".join(f"{v:.0f}" for v in starts[n, kind.lower() + " runs"])
            tail = f"{ratio:.2f}× | {met(ratio <= START_LIMIT)} |" if kind == "kestrane" else " | |"
            out.append(f"| {LABELS[n]} | {kind} | {r[0]:.0f} | {r[1]:.0f} | {r[2]:.0f} | "
                       f"{r[3]:.0f} | {r[4]:.0f} ({runs}) | {r[5]:.0f} | {tail}")
    out += ["", "Ending the show (medians, ms from the Escape key): the viewer's window and "
            "process go, then the launcher, then the package removes its folder and ends. "
            "About 2000 ms of the viewer's share is Wine's: without a window manager under Xvfb, "
            "Wine waits up to two seconds for a window manager to confirm that a closed window is withdrawn (winex11's wait_for_withdrawn_state times out); a "
            "ten-line window program shows the same 2.0 s.", "",
            "| Presentation | Package | Viewer gone | Launcher gone | Package ended | "
            "Package's own share (ended less viewer gone) |", "|---|---|---|---|---|---|"]
    for n in names:
        for kind, label in (("kestrane", "kestrane"), ("nsis", "NSIS")):
            rows = decks[n][f"start-{kind}"]
            col = [statistics.median(float(r[i]) for r in rows) for i in (7, 8, 9)]
            share = statistics.median(float(r[9]) - float(r[7]) for r in rows)
            out.append(f"| {LABELS[n]} | {label} | {col[0]:.0f} | {col[1]:.0f} | {col[2]:.0f} | "
                       f"{share:.0f} |")
    out.append("")
    # The viewer's peak private bytes (the last figure of a start; older raw files lack it).
    mem = {}
    for n in names:
        rows = [r for r in decks[n]["start-kestrane"] if len(r) > 10]
        if rows:
            mem[n] = statistics.median(float(r[10]) for r in rows)
    if mem:
        out += ["The viewer's peak private bytes (PeakPagefileUsage of PPTVIEW.EXE, read from "
                "its first slide on screen until it ends; medians): " +
                ", ".join(f"{LABELS[n]} {v:.0f} MB" for n, v in mem.items()) + ".", ""]
    out += targets(names, conv, fixed, starts, mem)
    if probe:
        out += [f"One screen read of the show window took {statistics.median(probe):.1f} ms "
                "(median), which bounds the first-paint phase's resolution. Entries left in "
                f"%TEMP% after all starts: {other.get('left', 0)}.", ""]
    open(md_path, "w").write("\n".join(out))
    chart(names, conv, fixed, overhead, empty_pkg, starts, png_path, "stand-in" in machine)


def targets(names, conv, fixed, starts, mem):
    """The speed targets side by side with what this run measured."""
    rows = []
    big = "bench-200mb-pictures"
    if big in names:
        k, s = starts[big, "kestrane"][4], starts[big, "nsis"][4]
        rows.append(("Start to first slide, 200 MB pictures", "≤ 1300 ms", f"{k:.0f} ms",
                     k <= 1300))
        rows.append(("… against NSIS unpack-and-run", "≤ 0.5×", f"{k / s:.2f}×", k / s <= 0.5))
    for n in names:
        v = starts[n, "kestrane"][2]
        rows.append((f"Viewer parse to window, {LABELS[n]}", "≤ 250 ms", f"{v:.0f} ms", v <= 250))
    if big in mem:
        rows.append(("Viewer peak private bytes, 200 MB pictures", "≤ 160 MB",
                     f"{mem[big]:.0f} MB", mem[big] <= 160))
    for n in names:
        if n in conv and n != "bench-1mb-text" and conv[n][1] > 0:
            r = (conv[n][0] - fixed) / conv[n][1]
            rows.append((f"Conversion less fixed cost, {LABELS[n]}", "≤ 4× the floor",
                         f"{r:.1f}×", r <= 4))
    if fixed:
        rows.append(("Fixed cost (empty presentation)", "≤ 150 ms", f"{fixed:.0f} ms",
                     fixed <= 150))
    if not rows:
        return []
    out = ["## Targets", "", "| Measure | Target | This run | Met |", "|---|---|---|---|"]
    out += [f"| {a} | {b} | {c} | {met(ok)} |" for a, b, c, ok in rows]
    return out + [""]


def chart(names, conv, fixed, overhead, empty_pkg, starts, path, stand_in=False):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    labels = [LABELS[n] for n in names]
    fig = plt.figure(figsize=(13, 8.5))
    grid = fig.add_gridspec(2, 3)
    ax = fig.add_subplot(grid[0, :2])
    x = range(len(names))
    cv = [conv[n][0] for n in names]
    fl = [conv[n][1] for n in names]
    bars = ax.bar([i - 0.2 for i in x], cv, 0.4, label="conversion (click to result page)")
    ax.bar([i + 0.2 for i in x], fl, 0.4, label="floor: two copies of the presentation")
    ax.bar([i + 0.2 for i in x], [f * (CONVERSION_LIMIT - 1) for f in fl], 0.4, bottom=fl,
           fill=False, linestyle="--", edgecolor="grey", label=f"up to the {CONVERSION_LIMIT:g}× target")
    for b, c, f in zip(bars, cv, fl):
        ax.annotate(f"{c:.0f} ms\n{c / f:.1f}×", (b.get_x() + b.get_width() / 2, c),
                    ha="center", va="bottom", fontsize=8)
    if fixed:
        ax.axhline(fixed, color="tab:blue", linestyle=":", linewidth=1,
                   label=f"fixed cost: empty presentation ({fixed:.0f} ms)")
    ax.set_yscale("log")
    ax.set_ylim(max(0.5, min(fl) / 2), max(cv) * 40)  # room for the legend
    ax.set_xticks(list(x), labels)
    ax.set_ylabel("ms (log scale)")
    ax.set_title("Conversion against the copy floor")
    ax.legend(fontsize=8, loc="upper left")

    ax = fig.add_subplot(grid[0, 2])
    ov = [overhead[n] / 1024 for n in names]
    bar_labels = [l.replace(" MB ", " MB\n") for l in labels]
    if empty_pkg:
        ov.append(empty_pkg / 1024)
        bar_labels.append("empty\n(fixed)")
    ax.bar(bar_labels, ov, color=["tab:green"] * len(names) + ["tab:grey"] * (len(ov) - len(names)))
    ax.axhline(OVERHEAD_LIMIT / 1024, color="red", linestyle="--", label="target 512 KiB")
    ax.axhline(0, color="black", linewidth=0.5)
    for i, v in enumerate(ov):
        ax.annotate(f"{v:.0f}", (i, max(v, 0)), ha="center", va="bottom", fontsize=8)
    ax.set_ylim(min(0, min(ov)) * 1.1, OVERHEAD_LIMIT / 1024 * 1.3)
    ax.set_ylabel("KiB")
    ax.set_title("Package overhead")
    ax.tick_params(axis="x", labelsize=8)
    ax.legend(fontsize=8, loc="lower right")

    colours = ("tab:blue", "tab:orange", "tab:purple", "tab:green")
    for i, n in enumerate(names):
        ax = fig.add_subplot(grid[1, i])
        for j, kind in enumerate(("kestrane", "nsis")):
            bottom = 0
            for p, name in enumerate(PHASES):
                v = starts[n, kind][p]
                ax.bar(j, v, 0.6, bottom=bottom, color=colours[p],
                       label=name if j == 0 else None)
                bottom += v
            ax.annotate(f"{bottom:.0f} ms", (j, bottom), ha="center", va="bottom", fontsize=8)
        ax.axhline(starts[n, "nsis"][4] * START_LIMIT, color="red", linestyle="--", linewidth=1,
                   label=f"{START_LIMIT:g}× NSIS")
        ax.set_xticks([0, 1], ["kestrane", "NSIS"])
        ax.set_title(f"Start to first slide: {LABELS[n]}", fontsize=10)
        ax.set_ylabel("ms")
        if i == 0:
            ax.legend(fontsize=7, loc="upper left")
    if stand_in:  # the chart travels without the page: it carries the warning itself
        fig.suptitle("64-bit stand-in build under 64-bit Wine, not the shipped 32-bit programs",
                     color="tab:red")
    fig.tight_layout()
    fig.savefig(path, dpi=90)


if __name__ == "__main__":
    main()
