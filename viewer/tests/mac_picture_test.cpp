// Macintosh pictures become Windows metafiles that draw the same shapes, text and pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/mac_picture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Picture operations are big-endian words; version 2 keeps each operation on an even byte.
struct Pict {
  Bytes b;
  void W(int v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
  }
  void L(uint32_t v) {
    W(int(v >> 16));
    W(int(v & 0xFFFF));
  }
  void Rect(int t, int l, int bt, int r) {
    W(t);
    W(l);
    W(bt);
    W(r);
  }
  void Op(int op) {
    if (b.size() % 2) b.push_back(0);
    W(op);
  }
  void Rgb(int op, int r, int g, int bl) {
    Op(op);
    W(r << 8);
    W(g << 8);
    W(bl << 8);
  }
  // A version 2 picture framed by (0, 0)..(w, h), its standard header included.
  static Pict V2(int w, int h) {
    Pict p;
    p.W(0);
    p.Rect(0, 0, h, w);
    p.W(0x0011);
    p.W(0x02FF);
    p.W(0x0C00);
    p.W(0xFFFF);  // version -1: coordinates in the frame
    p.W(0xFFFF);
    for (int i = 0; i < 10; i++) p.W(0);
    return p;
  }
  Bytes End() {
    Op(0x00FF);
    return b;
  }
};

// Paint and fill operations (rectangles and the rest follow the same pattern).
constexpr int kRgbFgCol = 0x1A, kPnSize = 0x07, kLine = 0x20, kLongText = 0x28, kTxSize = 0x0D;
constexpr int kFontName = 0x2C, kTxFont = 0x03, kTxFace = 0x04, kLongComment = 0xA1;
constexpr int kFrameRect = 0x30, kPaintRect = 0x31, kPaintOval = 0x51, kPaintRgn = 0x81;
constexpr int kPackBitsRect = 0x98, kDirectBitsRect = 0x9A, kShortComment = 0xA0;

struct Record {
  uint16_t function;
  std::vector<int16_t> params;
  Bytes raw;  // the parameters' bytes
};

std::vector<Record> Records(const Bytes& wmf) {
  std::vector<Record> out;
  for (size_t at = 18; at + 6 <= wmf.size();) {
    uint32_t words = wmf[at] | wmf[at + 1] << 8 | wmf[at + 2] << 16 | uint32_t(wmf[at + 3]) << 24;
    Record r;
    r.function = uint16_t(wmf[at + 4] | wmf[at + 5] << 8);
    if (words < 3 || at + words * 2 > wmf.size()) break;
    r.raw.assign(wmf.begin() + long(at + 6), wmf.begin() + long(at + words * 2));
    for (size_t i = 0; i + 1 < r.raw.size(); i += 2)
      r.params.push_back(int16_t(r.raw[i] | r.raw[i + 1] << 8));
    out.push_back(r);
    at += words * 2;
  }
  return out;
}

const Record* Find(const std::vector<Record>& rs, uint16_t function, size_t nth = 0) {
  for (const Record& r : rs)
    if (r.function == function && nth-- == 0) return &r;
  return nullptr;
}

constexpr uint16_t kSetWindowExt = 0x020C, kCreateBrush = 0x02FC, kCreatePen = 0x02FA;
constexpr uint16_t kRectangle = 0x041B, kEllipse = 0x0418, kLineTo = 0x0213, kMoveTo = 0x0214;
constexpr uint16_t kCreateFont = 0x02FB, kTextOut = 0x0521, kStretchDib = 0x0F43;
constexpr uint16_t kEof = 0x0000;

Bytes Convert(const Bytes& pict) {
  Bytes wmf;
  EXPECT_TRUE(viewer::MacPictureToMetafile(pict.data(), pict.size(), &wmf));
  return wmf;
}

TEST(MacPicture, ShapesKeepTheirColoursPlacesAndPens) {
  Pict p = Pict::V2(200, 100);
  p.Rgb(kRgbFgCol, 255, 0, 0);
  p.Op(kPaintRect);
  p.Rect(10, 20, 30, 40);  // top, left, bottom, right
  p.Rgb(kRgbFgCol, 0, 0, 255);
  p.Op(kPnSize);
  p.W(3);
  p.W(3);
  p.Op(kFrameRect);
  p.Rect(50, 60, 90, 190);
  p.Op(kLine);
  p.W(5);
  p.W(5);
  p.W(5);
  p.W(105);
  auto rs = Records(Convert(p.End()));
  // The window spans the frame, scaled so that half a pen stays whole.
  const Record* ext = Find(rs, kSetWindowExt);
  ASSERT_TRUE(ext);
  const int scale = ext->params[1] / 200;
  EXPECT_GE(scale, 2);
  EXPECT_EQ(ext->params[0], 100 * scale);

  const Record* red = Find(rs, kCreateBrush);
  ASSERT_TRUE(red);
  EXPECT_EQ(red->params[1], 0x00FF);  // 0x00BBGGRR, low word first
  const Record* rect = Find(rs, kRectangle);
  ASSERT_TRUE(rect);
  EXPECT_EQ(rect->params, (std::vector<int16_t>{int16_t(30 * scale), int16_t(40 * scale),
                                                int16_t(10 * scale), int16_t(20 * scale)}));
  // A framed rectangle: a pen three units wide kept inside the box, no brush.
  const Record* frame = Find(rs, kRectangle, 1);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->params[3], 60 * scale);
  const Record* pen = Find(rs, kCreatePen, 1);  // after the painting's empty pen
  ASSERT_TRUE(pen);
  EXPECT_EQ(pen->params[1], 3 * scale);
  EXPECT_EQ(pen->params[3], int16_t(0x0000));  // blue: red and green bytes nought
  EXPECT_EQ(pen->params[4], 0x00FF);
  // The line runs along the centre of the pen hanging below and right of its points.
  const Record* move = Find(rs, kMoveTo);
  const Record* line = Find(rs, kLineTo);
  ASSERT_TRUE(move && line);
  EXPECT_EQ(move->params[1], 5 * scale + 3 * scale / 2);
  EXPECT_EQ(line->params[1], 105 * scale + 3 * scale / 2);
  EXPECT_EQ(rs.back().function, kEof);
}

TEST(MacPicture, TextTakesItsFaceCharactersAndTurn) {
  Pict p = Pict::V2(100, 100);
  p.Op(kFontName);
  const std::string name = "Helvetica";
  p.W(int(2 + 1 + name.size()));
  p.W(21);
  p.b.push_back(uint8_t(name.size()));
  p.b.insert(p.b.end(), name.begin(), name.end());
  p.Op(kTxFont);
  p.W(21);
  p.Op(kTxFace);
  p.b.push_back(1);  // bold
  p.Op(kTxSize);
  p.W(18);
  // Text a printer turns a quarter counter-clockwise (270 degrees clockwise) about its start.
  p.Op(kLongComment);
  p.W(150);
  p.W(6);
  for (int v : {1, 0, 0x01, 0x0E, 1, 0}) p.b.push_back(uint8_t(v));
  p.Op(kLongText);
  p.W(50);
  p.W(10);
  const uint8_t text[] = {'C', 'a', 'f', 0x8E};  // the Macintosh's e acute
  p.b.push_back(4);
  p.b.insert(p.b.end(), text, text + 4);
  p.Op(kShortComment);
  p.W(151);
  p.Op(kLongText);
  p.W(80);
  p.W(10);
  p.b.push_back(1);
  p.b.push_back('x');
  auto rs = Records(Convert(p.End()));
  const Record* font = Find(rs, kCreateFont);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->params[4], 700);
  EXPECT_EQ(font->params[2], 900) << "escapement, tenths of a degree counter-clockwise";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(font->raw.data()) + 18), "Arial");
  const Record* out = Find(rs, kTextOut);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->params[0], 4);
  EXPECT_EQ(std::string(out->raw.begin() + 2, out->raw.begin() + 6), "Caf\xE9");
  // After the end comment, text runs level again.
  const Record* level = Find(rs, kCreateFont, 1);
  ASSERT_TRUE(level);
  EXPECT_EQ(level->params[2], 0);
}

TEST(MacPicture, RegionsBecomeTheirRectangles) {
  // An L: rows 0..10 span x 0..20, rows 10..20 only x 0..10.
  Pict p = Pict::V2(50, 50);
  p.Op(kPaintRgn);
  const std::vector<int> data = {0, 0, 20, 0x7FFF, 10, 10, 20, 0x7FFF, 20, 0, 10, 0x7FFF, 0x7FFF};
  p.W(int(10 + data.size() * 2));
  p.Rect(0, 0, 20, 20);
  for (int v : data) p.W(v);
  auto rs = Records(Convert(p.End()));
  const Record* a = Find(rs, kRectangle);
  const Record* b = Find(rs, kRectangle, 1);
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(Find(rs, kRectangle, 2));
  const int s = Find(rs, kSetWindowExt)->params[1] / 50;
  EXPECT_EQ(a->params, (std::vector<int16_t>{int16_t(10 * s), int16_t(20 * s), 0, 0}));
  EXPECT_EQ(b->params,
            (std::vector<int16_t>{int16_t(20 * s), int16_t(10 * s), int16_t(10 * s), 0}));
}

// A pixel map's header after its bounds: version, pack type, packed size, resolutions, pixel
// type, size, components, component size, plane bytes, table, reserved.
void PixMapFields(Pict& p, int pack_type, int pixel_size, int components, int component_bits) {
  p.W(0);
  p.W(pack_type);
  p.L(0);
  p.L(72u << 16);
  p.L(72u << 16);
  p.W(pixel_size == 8 ? 0 : 16);
  p.W(pixel_size);
  p.W(components);
  p.W(component_bits);
  p.L(0);
  p.L(0);
  p.L(0);
}

const uint8_t* PixelOf(const Record& dib, int width, int height, int x, int y) {
  const size_t bits_at = 22 + 40;  // after the raster operation, placement, bitmap header
  const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
  return dib.raw.data() + bits_at + stride * size_t(height - 1 - y) + size_t(x) * 3;
}

TEST(MacPicture, PackedIndexedAndDirectPixelsDecode) {
  Pict p = Pict::V2(16, 2);
  // Eight-bit indexed, 16 pixels a row: run-length packed.
  p.Op(kPackBitsRect);
  p.W(0x8000 | 16);
  p.Rect(0, 0, 2, 16);
  PixMapFields(p, 0, 8, 1, 8);
  p.L(0);  // colour table: seed, flags, entries less one
  p.W(0);
  p.W(1);
  for (int v : {0, 0xFFFF, 0, 0}) p.W(v);  // 0: red
  for (int v : {1, 0, 0, 0xFFFF}) p.W(v);  // 1: blue
  p.Rect(0, 0, 2, 16);
  p.Rect(0, 0, 2, 16);
  p.W(0);  // copy
  // Row 0: eight of 0 then eight of 1; row 1: literally 1, 0, then fourteen 1s.
  for (const Bytes& row : {Bytes{0xF9, 0, 0xF9, 1}, Bytes{1, 1, 0, 0xF3, 1}}) {
    p.b.push_back(uint8_t(row.size()));
    p.b.insert(p.b.end(), row.begin(), row.end());
  }
  // Thirty-two-bit direct pixels, packed by component planes: one row of two.
  p.Op(kDirectBitsRect);
  p.L(0xFF);
  p.W(0x8000 | 8);
  p.Rect(0, 0, 1, 2);
  PixMapFields(p, 4, 32, 3, 8);
  p.Rect(0, 0, 1, 2);
  p.Rect(0, 0, 1, 2);
  p.W(0);
  p.b.insert(p.b.end(), {7, 5, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60});  // literal R R G G B B
  auto rs = Records(Convert(p.End()));
  const Record* indexed = Find(rs, kStretchDib);
  ASSERT_TRUE(indexed);
  auto is = [](const uint8_t* bgr, int r, int g, int b) {
    return bgr[2] == r && bgr[1] == g && bgr[0] == b;
  };
  EXPECT_TRUE(is(PixelOf(*indexed, 16, 2, 7, 0), 255, 0, 0));
  EXPECT_TRUE(is(PixelOf(*indexed, 16, 2, 8, 0), 0, 0, 255));
  EXPECT_TRUE(is(PixelOf(*indexed, 16, 2, 0, 1), 0, 0, 255));
  EXPECT_TRUE(is(PixelOf(*indexed, 16, 2, 1, 1), 255, 0, 0));
  EXPECT_TRUE(is(PixelOf(*indexed, 16, 2, 15, 1), 0, 0, 255));
  const Record* direct = Find(rs, kStretchDib, 1);
  ASSERT_TRUE(direct);
  EXPECT_TRUE(is(PixelOf(*direct, 2, 1, 0, 0), 0x10, 0x30, 0x50));
  EXPECT_TRUE(is(PixelOf(*direct, 2, 1, 1, 0), 0x20, 0x40, 0x60));
}

TEST(MacPicture, PixelPatternsPaintTheirMeanColour) {
  constexpr int kPnPixPat = 0x13, kFillPixPat = 0x14, kFillRect = 0x34;
  Pict p = Pict::V2(20, 20);
  // A pen pattern of one colour, then a fill pattern of a two-by-two pixel map: red and blue.
  p.Op(kPnPixPat);
  p.W(2);
  for (int i = 0; i < 4; i++) p.W(0);
  p.W(0x1000);
  p.W(0x2000);
  p.W(0x3000);
  p.Op(kFillPixPat);
  p.W(1);
  for (int i = 0; i < 4; i++) p.W(0);
  p.W(0x8000 | 2);
  p.Rect(0, 0, 2, 2);
  PixMapFields(p, 0, 8, 1, 8);
  p.L(0);
  p.W(0);
  p.W(1);
  for (int v : {0, 0xFFFF, 0, 0}) p.W(v);
  for (int v : {1, 0, 0, 0xFFFF}) p.W(v);
  p.b.insert(p.b.end(), {0, 1, 1, 0});  // rows shorter than eight bytes are stored unpacked
  p.Op(kPaintRect);
  p.Rect(0, 0, 10, 10);
  p.Op(kFillRect);
  p.Rect(10, 10, 20, 20);
  auto rs = Records(Convert(p.End()));
  const Record* pen = Find(rs, kCreateBrush);
  const Record* fill = Find(rs, kCreateBrush, 1);
  ASSERT_TRUE(pen && fill);
  EXPECT_EQ(pen->params[1], 0x2010);
  EXPECT_EQ(pen->params[2], 0x0030);
  EXPECT_EQ(fill->params[1], 0x007F);
  EXPECT_EQ(fill->params[2], 0x007F);
  EXPECT_TRUE(Find(rs, kRectangle, 1)) << "both shapes drawn: the patterns were read whole";
}

TEST(MacPicture, VersionOneFileHeadersAndWhatIsNoPicture) {
  // Version 1: byte operations, no alignment; a file's 512-byte header before it.
  Bytes v1(512, 0);
  for (int v : {0, 0, 0, 0, 0, 0, 0, 20, 0, 20}) v1.push_back(uint8_t(v));
  v1.push_back(0x11);
  v1.push_back(0x01);
  v1.push_back(kPaintOval);
  for (int v : {0, 2, 0, 2, 0, 18, 0, 18}) v1.push_back(uint8_t(v));
  v1.push_back(0xFF);
  auto rs = Records(Convert(v1));
  EXPECT_TRUE(Find(rs, kEllipse));

  Bytes wmf;
  const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  EXPECT_FALSE(viewer::MacPictureToMetafile(junk, sizeof junk, &wmf));
  Bytes empty = Pict::V2(10, 10).End();
  EXPECT_FALSE(viewer::MacPictureToMetafile(empty.data(), empty.size(), &wmf))
      << "a picture that draws nothing";
}

TEST(MacPicture, CutShortOrOversizedPicturesStaySafe) {
  Pict p = Pict::V2(100, 100);
  p.Op(kPaintRect);
  p.Rect(0, 0, 50, 50);
  p.Op(kPackBitsRect);
  p.W(0x8000 | 200);
  p.Rect(0, 0, 10000, 10000);  // a hundred million pixels claimed
  PixMapFields(p, 0, 8, 1, 8);
  Bytes big = p.End();
  Bytes wmf;
  viewer::MacPictureLimits limits;
  limits.max_pixels = 1u << 20;
  ASSERT_TRUE(viewer::MacPictureToMetafile(big.data(), big.size(), &wmf, limits))
      << "what came before the pixels is kept";
  EXPECT_FALSE(Find(Records(wmf), kStretchDib));
  EXPECT_TRUE(Find(Records(wmf), kRectangle));
  // Cut anywhere, a picture converts or is refused, never read past its end.
  Pict q = Pict::V2(30, 30);
  q.Op(kPaintRect);
  q.Rect(0, 0, 5, 5);
  q.Op(kPaintRgn);
  q.W(14);
  q.Rect(0, 0, 4, 4);
  q.W(0);
  q.W(0x7FFF);
  Bytes full = q.End();
  for (size_t n = 0; n <= full.size(); n++) {
    Bytes cut(full.begin(), full.begin() + long(n));
    viewer::MacPictureToMetafile(cut.data(), cut.size(), &wmf);
  }
}

}  // namespace
