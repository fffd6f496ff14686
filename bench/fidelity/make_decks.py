#!/usr/bin/env python3
"""Writes the benchmark's own presentations as flat OpenDocument files, for LibreOffice to save as
binary .ppt: shapes, colours, text runs, a 16:9 deck, a picture and a hidden slide."""
import base64
import os
import subprocess
import sys

HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:automatic-styles>
 <style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm"
  fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm"
  fo:page-width="{w}cm" fo:page-height="{h}cm" style:print-orientation="landscape"/></style:page-layout>
 <style:style style:name="plain" style:family="graphic"><style:graphic-properties draw:fill="none"
  draw:stroke="none"/></style:style>
 <style:style style:name="hidden" style:family="drawing-page"><style:drawing-page-properties
  presentation:visibility="hidden" draw:fill="solid" draw:fill-color="#ffffff"/></style:style>
{styles}
 <style:style style:name="big" style:family="text"><style:text-properties fo:font-size="36pt"
  fo:font-weight="bold" style:font-name="Liberation Sans" fo:font-family="'Liberation Sans'"/></style:style>
 <style:style style:name="body" style:family="text"><style:text-properties fo:font-size="22pt"
  fo:font-family="'Liberation Serif'"/></style:style>
 <style:style style:name="em" style:family="text"><style:text-properties fo:font-size="22pt"
  fo:font-style="italic" fo:color="#aa2200" fo:font-family="'Liberation Serif'"/></style:style>
 <style:style style:name="center" style:family="paragraph"><style:paragraph-properties
  fo:text-align="center"/></style:style>
 <style:style style:name="right" style:family="paragraph"><style:paragraph-properties
  fo:text-align="end"/></style:style>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/>
</office:master-styles>
<office:body><office:presentation>
"""
TAIL = "</office:presentation></office:body></office:document>\n"

COLOURS = ["#ffeecc", "#cce5ff", "#e0ffe0", "#202040", "#ffffff", "#f0d0f0"]
SHAPE_COLOURS = ["#3366cc", "#cc3333", "#33aa55", "#ffcc00", "#884499", "#00aaaa"]


def styles():
    out = []
    for i, c in enumerate(COLOURS):
        out.append(f' <style:style style:name="bg{i}" style:family="drawing-page">'
                   f'<style:drawing-page-properties draw:fill="solid" draw:fill-color="{c}"/>'
                   '</style:style>')
    for i, c in enumerate(SHAPE_COLOURS):
        out.append(f' <style:style style:name="fill{i}" style:family="graphic">'
                   f'<style:graphic-properties draw:fill="solid" draw:fill-color="{c}" '
                   'draw:stroke="solid" svg:stroke-color="#000000"/></style:style>')
    return "\n".join(out)


def frame(x, y, w, h, paragraphs):
    body = "".join(f'<text:p text:style-name="{p}">{spans}</text:p>' for p, spans in paragraphs)
    return (f'<draw:frame draw:style-name="plain" svg:x="{x}cm" svg:y="{y}cm" svg:width="{w}cm" '
            f'svg:height="{h}cm"><draw:text-box>{body}</draw:text-box></draw:frame>')


def span(style, text):
    return f'<text:span text:style-name="{style}">{text}</text:span>'


def page(n, style, content):
    return (f'<draw:page draw:name="page{n}" draw:style-name="{style}" '
            f'draw:master-page-name="Default">{content}</draw:page>\n')


def deck(w, h, pages):
    return HEAD.replace("{w}", str(w)).replace("{h}", str(h)).replace("{styles}", styles()) + \
        "".join(pages) + TAIL


def shapes_deck():
    pages = []
    for i in range(3):
        c = frame(2, 1, 24, 3, [("center", span("big", f"Shapes and colours {i + 1}"))])
        c += (f'<draw:rect draw:style-name="fill{i}" svg:x="3cm" svg:y="6cm" svg:width="8cm" '
              f'svg:height="6cm"/>')
        c += (f'<draw:ellipse draw:style-name="fill{i + 3}" svg:x="14cm" svg:y="7cm" '
              f'svg:width="9cm" svg:height="9cm"/>')
        pages.append(page(i, f"bg{i}", c))
    return deck(28, 21, pages)


def text_deck():
    words = ("Quarterly results exceeded expectations across every region while costs "
             "remained flat and the new product line shipped on schedule").split()
    pages = []
    for i in range(4):
        paras = [("center", span("big", f"Report section {i + 1}"))]
        for k in range(3):
            line = " ".join(words[(i * 5 + k * 7) % len(words):] + words[:(i * 5 + k * 7) %
                                                                          len(words)])
            paras.append(("right" if k == 2 else "", span("body", line[:90]) +
                          span("em", " indeed")))
        pages.append(page(i, "bg4", frame(1.5, 1.5, 25, 17, paras)))
    return deck(28, 21, pages)


def wide_deck():
    pages = []
    for i in range(2):
        c = frame(2, 1, 30, 3, [("", span("big", f"Wide screen slide {i + 1}"))])
        c += (f'<draw:rect draw:style-name="fill{i + 1}" svg:x="2cm" svg:y="6cm" '
              f'svg:width="29cm" svg:height="4cm"/>')
        pages.append(page(i, f"bg{3 if i else 1}", c))
    return deck(33.867, 19.05, pages)


def many_deck():
    pages = []
    for i in range(12):
        style = "hidden" if i == 6 else f"bg{i % 6}"
        pages.append(page(i, style, frame(3, 7, 22, 5, [("center", span("big", f"Number {i + 1}"))])))
    return deck(25.4, 19.05, pages)


def picture_deck(png):
    data = base64.b64encode(open(png, "rb").read()).decode()
    c = frame(2, 1, 24, 3, [("center", span("big", "A picture"))])
    c += ('<draw:frame draw:style-name="plain" svg:x="6cm" svg:y="5cm" svg:width="16cm" '
          f'svg:height="12cm"><draw:image><office:binary-data>{data}</office:binary-data>'
          '</draw:image></draw:frame>')
    return deck(28, 21, [page(0, "bg2", c)])


def main(out):
    os.makedirs(out, exist_ok=True)
    png = os.path.join(out, "gradient.png")
    subprocess.run(["convert", "-size", "320x240", "gradient:#ff8800-#0044aa", png], check=True)
    decks = {"gen_shapes": shapes_deck(), "gen_text": text_deck(), "gen_wide": wide_deck(),
             "gen_many": many_deck(), "gen_picture": picture_deck(png)}
    paths = []
    for name, xml in decks.items():
        p = os.path.join(out, name + ".fodp")
        with open(p, "w", encoding="utf-8") as f:
            f.write(xml)
        paths.append(p)
    subprocess.run(["soffice", "--headless", "--convert-to", "ppt", "--outdir", out] + paths,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return [os.path.join(out, n + ".ppt") for n in decks]


if __name__ == "__main__":
    print("\n".join(main(sys.argv[1])))
